#include "entry/setpointframe.h"

#include "link/commandframe.h"

namespace SetpointFrame {

QString make(Kind kind, const QString &address, double value)
{
    const bool flow = kind == Kind::Flow;
    const double limit = flow ? kFlowLimit : kPressureLimit;
    // Below zero the field would carry a minus sign and the frame would not be nine characters.
    if (!(value >= 0 && value <= limit))
        return {};
    const QString frame = MakeFrame(address, flow ? QStringLiteral("L") : QStringLiteral("P"),
                                    flow ? flowField(value) : pressureField(value));
    return isWellFormedFrame(frame) ? frame : QString();
}

} // namespace SetpointFrame
