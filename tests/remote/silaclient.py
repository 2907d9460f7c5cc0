#!/usr/bin/python3
"""A SiLA 2 client of the panel's server for the tests: one call a run, its outcome as one
JSON line on stdout. The server's certificate is fetched and pinned by its SHA-256
fingerprint, as a lab's client would do with the fingerprint the panel prints.

    silaclient.py STUBS PORT FINGERPRINT CALL [ARG...]
"""
import base64
import hashlib
import json
import socket
import ssl
import sys
import time

sys.path.insert(0, sys.argv[1])
import grpc  # noqa: E402
import LockController_pb2 as lc  # noqa: E402
import LockController_pb2_grpc as lcg  # noqa: E402
import PumpControl_pb2 as pc  # noqa: E402
import PumpControl_pb2_grpc as pcg  # noqa: E402
import SiLAFramework_pb2 as fw  # noqa: E402
import SiLAService_pb2 as ss  # noqa: E402
import SiLAService_pb2_grpc as ssg  # noqa: E402

LOCK_KEY = "sila-org.silastandard-core-lockcontroller-v2-metadata-lockidentifier-bin"


def outcome(call):
    try:
        call()
        return {"ok": True}
    except grpc.RpcError as error:
        told = {"code": error.code().name}
        if error.code() == grpc.StatusCode.ABORTED:
            sila = fw.SiLAError()
            sila.ParseFromString(base64.b64decode(error.details()))
            kind = sila.WhichOneof("error")
            told.update(kind=kind, **{k: v for k, v in
                                      [(f.name, val) for f, val in getattr(sila, kind).ListFields()]
                                      if k != "errorType"})
            if kind == "frameworkError":
                told["errorType"] = fw.FrameworkError.ErrorType.Name(sila.frameworkError.errorType)
        return told


def main():
    port, pin, call, args = int(sys.argv[2]), sys.argv[3], sys.argv[4], sys.argv[5:]
    try:
        pem = ssl.get_server_certificate(("127.0.0.1", port))
    except OSError:
        print(json.dumps({"connected": False}))
        return
    seen = hashlib.sha256(ssl.PEM_cert_to_DER_cert(pem)).hexdigest().upper()
    if seen != pin.replace(":", "").upper():
        print(json.dumps({"pinned": False}))
        return
    channel = grpc.secure_channel(f"127.0.0.1:{port}",
                                  grpc.ssl_channel_credentials(root_certificates=pem.encode()))
    service, locks, pump = (ssg.SiLAServiceStub(channel), lcg.LockControllerStub(channel),
                            pcg.PumpControlStub(channel))

    def metadata(identifier):
        if identifier == "-":
            return []
        value = lc.Metadata_LockIdentifier(LockIdentifier=fw.String(value=identifier))
        return [(LOCK_KEY, value.SerializeToString())]

    result = {}
    if call == "lock":
        result = outcome(lambda: locks.LockServer(lc.LockServer_Parameters(
            LockIdentifier=fw.String(value=args[0]), Timeout=fw.Integer(value=int(args[1])))))
    elif call == "lock-huge":
        result = outcome(lambda: locks.LockServer(lc.LockServer_Parameters(
            LockIdentifier=fw.String(value="x" * (1 << 20)), Timeout=fw.Integer(value=60))))
    elif call == "unlock":
        result = outcome(lambda: locks.UnlockServer(lc.UnlockServer_Parameters(
            LockIdentifier=fw.String(value=args[0]))))
    elif call == "setflow":
        result = outcome(lambda: pump.SetFlow(pc.SetFlow_Parameters(
            PumpAddress=fw.Integer(value=int(args[1])), Flow=fw.Integer(value=int(args[2]))),
            metadata=metadata(args[0])))
    elif call == "setlimit":
        result = outcome(lambda: pump.SetLimit(pc.SetLimit_Parameters(
            PumpAddress=fw.Integer(value=int(args[1])), Limit=fw.Real(value=float(args[2]))),
            metadata=metadata(args[0])))
    elif call in ("run", "starttimedrun"):
        rpc = pump.Run if call == "run" else pump.StartTimedRun
        result = outcome(lambda: rpc(pc.Run_Parameters() if call == "run"
                                     else pc.StartTimedRun_Parameters(), metadata=metadata(args[0])))
    elif call == "endtimedrun":
        result = outcome(lambda: pump.EndTimedRun(pc.EndTimedRun_Parameters(),
                                                  metadata=metadata(args[0])))
    elif call == "stop":
        answer = {}
        result = outcome(lambda: answer.setdefault(
            "owed", pump.Stop(pc.Stop_Parameters(), metadata=metadata(args[0])).Owed.value))
        result.update(answer)
    elif call == "unknown-metadata":
        result = outcome(lambda: service.Get_ServerUUID(
            ss.Get_ServerUUID_Parameters(), metadata=[("sila-org.example-x-v1-metadata-y-bin", b"\x00")]))
    elif call == "uuid":
        answer = {}
        result = outcome(lambda: answer.setdefault("uuid", service.Get_ServerUUID(
            ss.Get_ServerUUID_Parameters()).ServerUUID.value))
        result.update(answer)
    elif call == "definition":
        answer = {}
        result = outcome(lambda: answer.setdefault("xml", service.GetFeatureDefinition(
            ss.GetFeatureDefinition_Parameters(QualifiedFeatureIdentifier=ss.DataType_FeatureIdentifier(
                FeatureIdentifier=fw.String(value=args[0])))).FeatureDefinition.FeatureDefinition.value))
        if "xml" in answer:
            import xml.etree.ElementTree as tree
            root = tree.fromstring(answer["xml"])
            space = "{http://www.sila-standard.org}"
            result.update(identifier=root.findtext(space + "Identifier"),
                          originator=root.get("Originator"),
                          commands=[c.findtext(space + "Identifier") for c in root.iter(space + "Command")])
    elif call == "state":
        # The first value of each of the pump's observable properties.
        def first(name):
            stream = getattr(pump, "Subscribe_" + name)(getattr(pc, f"Subscribe_{name}_Parameters")())
            value = next(stream)
            stream.cancel()
            return getattr(value, name)
        pressure = first("Pressure")
        result = {"pressure": pressure.Value.value, "current": pressure.Current.value,
                  "pressureYear": pressure.Time.year, "flowSent": first("FlowSent").value,
                  "limitSent": first("LimitSent").value, "lastCommand": first("LastCommand").value,
                  "link": first("LinkState").value, "timedRun": first("TimedRunState").value,
                  "alarms": [alarm.value for alarm in first("Alarms")]}
    elif call == "islocked":
        stream = locks.Subscribe_IsLocked(lc.Subscribe_IsLocked_Parameters())
        result = {"locked": next(stream).IsLocked.value}
        stream.cancel()
    elif call == "flood":
        # 1,000 subscriptions at once over 50 connections, each within the calls a second one
        # connection may make; what the server answers, then a call once they have gone.
        credentials = grpc.ssl_channel_credentials(root_certificates=pem.encode())
        channels = [grpc.secure_channel(f"127.0.0.1:{port}", credentials) for _ in range(50)]
        streams = [lcg.LockControllerStub(channels[i % 50]).Subscribe_IsLocked(
            lc.Subscribe_IsLocked_Parameters()) for i in range(1000)]
        codes = {}
        for stream in streams:
            try:
                next(stream)
                code = "OK"
            except grpc.RpcError as error:
                code = error.code().name
            codes[code] = codes.get(code, 0) + 1
        for stream in streams:
            stream.cancel()
        # The server's threads see their streams cancelled within a second.
        answer = {}
        for _ in range(20):
            result = outcome(lambda: answer.setdefault("uuid", service.Get_ServerUUID(
                ss.Get_ServerUUID_Parameters(), timeout=10).ServerUUID.value))
            if "uuid" in answer:
                break
            time.sleep(0.5)
        result.update(answer, codes=codes)
    elif call == "garbage":
        # Bytes that are neither TLS nor HTTP/2, then a real call on a new connection.
        with socket.create_connection(("127.0.0.1", port)) as raw:
            raw.sendall(bytes(range(256)) * 64)
            raw.settimeout(5)
            try:
                while raw.recv(4096):
                    pass
            except OSError:
                pass
        answer = {}
        result = outcome(lambda: answer.setdefault("uuid", service.Get_ServerUUID(
            ss.Get_ServerUUID_Parameters()).ServerUUID.value))
        result.update(answer)
    print(json.dumps(result))


if __name__ == "__main__":
    main()
