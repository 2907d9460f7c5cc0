<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>AuditVerifier</name>
    <message>
        <location filename="../audit/auditverifier.cpp" line="29"/>
        <source>%1 is not a file</source>
        <translation>%1 不是文件</translation>
    </message>
    <message>
        <location filename="../audit/auditverifier.cpp" line="34"/>
        <location filename="../audit/auditverifier.cpp" line="165"/>
        <location filename="../audit/auditverifier.cpp" line="232"/>
        <source>cannot read %1: %2</source>
        <translation>无法读取 %1：%2</translation>
    </message>
    <message>
        <location filename="../audit/auditverifier.cpp" line="221"/>
        <source>%1 line %2 has no line end</source>
        <translation>%1 第 %2 行没有行尾</translation>
    </message>
    <message>
        <location filename="../audit/auditverifier.cpp" line="239"/>
        <source>%1 holds no record</source>
        <translation>%1 中没有记录</translation>
    </message>
    <message>
        <location filename="../audit/auditverifier.cpp" line="271"/>
        <source>the clock was set back at %1 line %2 (seq %3): %4 after %5</source>
        <translation>时钟在 %1 第 %2 行（序号 %3）被调回：%5 之后是 %4</translation>
    </message>
    <message>
        <location filename="../audit/auditverifier.cpp" line="318"/>
        <source>the chain begins at seq %1, after %2, which was not given</source>
        <translation>记录链从序号 %1 开始，接在未给出的 %2 之后</translation>
    </message>
    <message>
        <location filename="../audit/auditverifier.cpp" line="373"/>
        <source>%1 line %2 is cut short, as a crash while writing leaves it</source>
        <translation>%1 第 %2 行不完整，像是写入时程序中断留下的</translation>
    </message>
    <message>
        <location filename="../audit/auditverifier.cpp" line="401"/>
        <source>no audit files given</source>
        <translation>未给出审计记录文件</translation>
    </message>
    <message>
        <location filename="../audit/auditverifier.cpp" line="415"/>
        <source>warning: %1</source>
        <translation>警告：%1</translation>
    </message>
    <message>
        <location filename="../audit/auditverifier.cpp" line="417"/>
        <source>note: %1</source>
        <translation>注意：%1</translation>
    </message>
    <message>
        <location filename="../audit/auditverifier.cpp" line="420"/>
        <source>ok, %1 records, head %2:%3</source>
        <translation>完好，%1 条记录，链头 %2:%3</translation>
    </message>
    <message>
        <location filename="../audit/auditverifier.cpp" line="427"/>
        <source>broken: %1 line %2, seq %3: %4</source>
        <translation>已损坏：%1 第 %2 行，序号 %3：%4</translation>
    </message>
    <message>
        <location filename="../audit/auditverifier.cpp" line="448"/>
        <source>changed</source>
        <translation>被改动</translation>
    </message>
    <message>
        <location filename="../audit/auditverifier.cpp" line="450"/>
        <source>removed</source>
        <translation>被删除</translation>
    </message>
    <message>
        <location filename="../audit/auditverifier.cpp" line="452"/>
        <source>inserted or reordered</source>
        <translation>被插入或调换次序</translation>
    </message>
    <message>
        <location filename="../audit/auditverifier.cpp" line="454"/>
        <source>renamed</source>
        <translation>被改名</translation>
    </message>
    <message>
        <location filename="../audit/auditverifier.cpp" line="456"/>
        <source>head not found</source>
        <translation>未找到链头</translation>
    </message>
    <message>
        <location filename="../audit/auditverifier.cpp" line="458"/>
        <source>head does not match</source>
        <translation>链头不符</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <location filename="panelcommandline.cpp" line="204"/>
        <source>Try &apos;%1 --help&apos; for more information.</source>
        <translation>请执行“%1 --help”查看更多信息。</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="209"/>
        <source>unexpected argument &apos;%1&apos;: the program takes options only</source>
        <translation>多余的参数“%1”：本程序只接受选项</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="222"/>
        <source>unknown option &apos;%1&apos;</source>
        <translation>未知的选项“%1”</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="225"/>
        <location filename="panelcommandline.cpp" line="426"/>
        <source>option &apos;%1&apos; takes no value</source>
        <translation>选项 %1 不带参数</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="228"/>
        <location filename="panelcommandline.cpp" line="437"/>
        <location filename="panelcommandline.cpp" line="655"/>
        <source>option &apos;%1&apos; needs a value</source>
        <translation>选项 %1 缺少参数</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="295"/>
        <source>the language of these messages: Chinese when the first of LC_ALL, LC_MESSAGES and LANG that is set names a Chinese locale (zh_*), English otherwise, plain ASCII in the C locale; LANGUAGE, a list such as zh_CN:en, comes before them except in the C locale</source>
        <translation>本说明和出错信息的语言：LC_ALL、LC_MESSAGES、LANG 中第一个已设置的变量为中文区域设置（zh_*）时用中文，否则用英文，C 区域设置下只用 ASCII 字符；LANGUAGE（语言列表，例如 zh_CN:en）优先于它们，C 区域设置下除外</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="319"/>
        <location filename="../tools/pumpsim/simoptions.cpp" line="133"/>
        <source>Options:</source>
        <translation>选项：</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="390"/>
        <location filename="../tools/pumpsim/simoptions.cpp" line="135"/>
        <source>Environment:</source>
        <translation>环境变量：</translation>
    </message>
</context>
<context>
    <name>PanelCommandLine</name>
    <message>
        <location filename="panelcommandline.cpp" line="307"/>
        <source>Usage: corvane-panel [OPTION]... [QT-OPTION]...</source>
        <translation>用法：corvane-panel [选项]... [Qt 选项]...</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="309"/>
        <source>  or:  corvane-panel --verify-audit FILE... [--head SEQ:HASH]</source>
        <translation>  或：  corvane-panel --verify-audit 文件... [--head 序号:哈希]</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="312"/>
        <source>Operator panel for a Corvane laboratory pump on a serial line: it sets the pump&apos;s flow and protection-pressure limit, runs and stops it, and shows and logs its pressure. The window is in Chinese.</source>
        <translation>Corvane 实验室泵的操作面板，经串口连接：设定泵的流量和保护压力上限，启动和停止泵，显示并记录压力。窗口为中文。</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="321"/>
        <source>serial port N is the device DEVICE (e.g. --port 1=/dev/ttyUSB0); repeatable; without it port N is /dev/ttyS{N-1}</source>
        <translation>通信端口 N 使用设备 DEVICE（例如 --port 1=/dev/ttyUSB0），可重复；未指定时端口 N 为 /dev/ttyS{N-1}</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="325"/>
        <source>drive L: of the record file is the folder DIR (e.g. --drive d=/home/lab/records); repeatable; without it drive d: is ~/Documents/corvane-panel, made when first needed</source>
        <translation>记录文件的驱动器 L: 使用文件夹 DIR（例如 --drive d=/home/lab/records），可重复；未指定时驱动器 d: 为 ~/Documents/corvane-panel（首次保存时创建）</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="330"/>
        <source>append every reading and event, with its time, to FILE (one line each: time&lt;TAB&gt;reading, or #&lt;TAB&gt;time&lt;TAB&gt;event&lt;TAB&gt;text); without it they go to a file a day in ~/.local/share/corvane/corvane-panel/readings/</source>
        <translation>把每个读数和事件连同时间追加到文件 FILE（每行“时间&lt;TAB&gt;读数”，或“#&lt;TAB&gt;时间&lt;TAB&gt;事件&lt;TAB&gt;说明”）；未指定时每天一个文件，位于 ~/.local/share/corvane/corvane-panel/readings/</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="336"/>
        <source>keep no reading log</source>
        <translation>不记录读数日志</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="338"/>
        <source>publish readings, state, events and alarms to the MQTT broker at URL (mqtt://HOST[:PORT], or mqtts://HOST[:PORT] for TLS; 1883 and 8883 by default) under corvane/ID/; nothing published can command the pump</source>
        <translation>把读数、状态、事件和报警发布到 URL 处的 MQTT 代理（mqtt://主机[:端口]，或用 TLS 的 mqtts://主机[:端口]；默认端口 1883 和 8883），主题在 corvane/ID/ 之下；发布的内容不能控制泵</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="344"/>
        <source>the panel&apos;s name in the topics; by default the host name, reduced to letters, digits, &apos;_&apos; and &apos;-&apos;, then the device of port 1 when --port names it (lab3-ttyUSB0), else a number from the second panel of the host on (lab3-2)</source>
        <translation>面板在主题中的名字；默认为主机名（只保留字母、数字、“_”和“-”），--port 指定了端口 1 的设备时后接设备名（lab3-ttyUSB0），否则从本机第二个面板起后接编号（lab3-2）</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="350"/>
        <source>the broker&apos;s user name on the first line of FILE, the password on the second (never on the command line, where ps shows it); readable by you alone (chmod 600)</source>
        <translation>代理的用户名在 FILE 的第一行，密码在第二行（绝不写在命令行上，ps 会显示它）；只让自己可读（chmod 600）</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="355"/>
        <source>the certificate authority that signs the broker&apos;s certificate, for mqtts:// (by default the system&apos;s)</source>
        <translation>签发代理证书的证书颁发机构，用于 mqtts://（默认用系统的）</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="359"/>
        <source>keep the audit trail (who commanded what, when, and the value before and after) in DIR/INSTANCE/, a file a day; by default ~/.local/share/corvane/corvane-panel/audit/</source>
        <translation>审计记录（谁在何时下达了什么命令，以及改动前后的值）保存在 DIR/实例名/ 中，每天一个文件；默认为 ~/.local/share/corvane/corvane-panel/audit/</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="364"/>
        <source>the operator at the panel, named in every audit record from the start</source>
        <translation>操作员姓名，自启动起写入每条审计记录</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="368"/>
        <source>load the pump program in FILE at start</source>
        <translation>启动时载入 FILE 中的泵程序</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="370"/>
        <source>check the audit trail in the files given (one instance&apos;s, any order) and exit without a window: 0 when its chain is whole, 1 when it is broken, 2 when it cannot be read</source>
        <translation>检查所给文件中的审计记录（同一实例的，次序不限）后退出，不打开窗口：记录链完好时返回 0，损坏时返回 1，无法读取时返回 2</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="375"/>
        <source>with --verify-audit: the head noted earlier (from an ok line, or as published under corvane/ID/audit), which shows the newest records removed</source>
        <translation>与 --verify-audit 一起使用：先前记下的链头（取自检查结果行，或 corvane/ID/audit 下发布的内容），可查出被删除的最新记录</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="380"/>
        <source>show this help and exit</source>
        <translation>显示本说明后退出</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="382"/>
        <source>show the program&apos;s name and version and exit</source>
        <translation>显示程序名和版本号后退出</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="386"/>
        <source>Qt&apos;s own options (e.g. -platform offscreen, -display :1, -style Fusion, -reverse) are passed on to Qt, with one dash or two.</source>
        <translation>Qt 的选项（例如 -platform offscreen、-display :1、-style Fusion、-reverse，一个或两个短横线均可）交给 Qt 处理。</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="430"/>
        <source>option &apos;%1&apos; takes its value after a space, not after &apos;=&apos;</source>
        <translation>选项 %1 的值要用空格隔开，不能用“=”</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="478"/>
        <source>--verify-audit cannot be used with --%1</source>
        <translation>--verify-audit 不能与 --%1 一起使用</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="485"/>
        <source>--verify-audit needs at least one file</source>
        <translation>--verify-audit 至少需要一个文件</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="490"/>
        <source>&apos;%1&apos; of --head is not SEQ:HASH, a record&apos;s number and its 64 hex digits</source>
        <translation>--head 的“%1”不是 序号:哈希（记录的序号和它的 64 位十六进制哈希）</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="502"/>
        <source>--head needs --verify-audit</source>
        <translation>--head 需要与 --verify-audit 一起使用</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="513"/>
        <source>--operator needs a name</source>
        <translation>--operator 需要一个姓名</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="530"/>
        <source>--log needs a file name</source>
        <translation>--log 需要一个文件名</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="537"/>
        <source>--log and --no-log cannot be used together</source>
        <translation>--log 与 --no-log 不能同时使用</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="550"/>
        <source>--mqtt-id, --mqtt-auth and --mqtt-ca need --mqtt</source>
        <translation>--mqtt-id、--mqtt-auth 和 --mqtt-ca 需要 --mqtt</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="556"/>
        <source>&apos;%1&apos; is not mqtt://HOST[:PORT] or mqtts://HOST[:PORT]</source>
        <translation>“%1”不是 mqtt://主机[:端口] 或 mqtts://主机[:端口]</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="562"/>
        <source>--mqtt-id may hold only letters, digits, &apos;_&apos; and &apos;-&apos;</source>
        <translation>--mqtt-id 只能包含字母、数字、“_”和“-”</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="580"/>
        <source>%1 holds no user name on its first line</source>
        <translation>%1 的第一行没有用户名</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="586"/>
        <source>warning: other users may read the password in %1; make it yours alone: chmod 600 %1</source>
        <translation>警告：其他用户可以读取 %1 中的密码；请只让自己可读：chmod 600 %1</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="596"/>
        <source>%1 holds no PEM certificate</source>
        <translation>%1 中没有 PEM 格式的证书</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="609"/>
        <source>a folder</source>
        <translation>文件夹</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="610"/>
        <source>a named pipe</source>
        <translation>命名管道</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="611"/>
        <source>a socket</source>
        <translation>套接字</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="612"/>
        <source>a device</source>
        <translation>设备</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="613"/>
        <source>%1 is not a regular file but %2</source>
        <translation>%1 不是普通文件，而是%2</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="617"/>
        <source>%1 is larger than %2 bytes</source>
        <translation>%1 大于 %2 字节</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="621"/>
        <source>cannot read %1: %2</source>
        <translation>无法读取 %1：%2</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="566"/>
        <source>--mqtt-ca needs an mqtts:// URL</source>
        <translation>--mqtt-ca 需要 mqtts:// 地址</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="632"/>
        <source>argument &apos;%1&apos; of --port is not N=DEVICE, e.g. 1=/dev/ttyUSB0</source>
        <translation>--port 的参数“%1”应为 N=设备，例如 1=/dev/ttyUSB0</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="639"/>
        <source>invalid port number &apos;%1&apos; of --port: it must be a whole number from 1 to 32767</source>
        <translation>--port 的端口号“%1”无效：应为 1 到 32767 的整数</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="644"/>
        <source>port %1 is given twice in --port</source>
        <translation>--port 中端口 %1 出现了两次</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="668"/>
        <source>the path &apos;%1…&apos; is longer than the system allows (%2 bytes)</source>
        <translation>路径“%1…”超过系统允许的长度（%2 字节）</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="680"/>
        <source>argument &apos;%1&apos; of --drive is not LETTER=FOLDER, e.g. d=/home/lab/records</source>
        <translation>--drive 的参数“%1”应为 盘符=文件夹，例如 d=/home/lab/records</translation>
    </message>
    <message>
        <location filename="panelcommandline.cpp" line="687"/>
        <source>invalid drive letter &apos;%1&apos; of --drive: it must be one letter</source>
        <translation>--drive 的盘符“%1”无效：应为一个字母</translation>
    </message>
    <message>
        <source>let SiLA 2 clients command the pump over TLS on 127.0.0.1:PORT (0: a free port, printed at start with the certificate&apos;s SHA-256 fingerprint); a client must lock the server first</source>
        <translation>允许 SiLA 2 客户端经 TLS 在 127.0.0.1:PORT 上控制泵（0：任一空闲端口，启动时与证书的 SHA-256 指纹一同打印）；客户端须先锁定服务器</translation>
    </message>
    <message>
        <source>with --sila-key: the server&apos;s certificate, in PEM; by default one made at the first start under ~/.local/share/corvane/corvane-panel/sila/</source>
        <translation>与 --sila-key 一起：服务器的证书，PEM 格式；默认为首次启动时在 ~/.local/share/corvane/corvane-panel/sila/ 中生成的证书</translation>
    </message>
    <message>
        <source>the private key of --sila-cert, in PEM</source>
        <translation>--sila-cert 的私钥，PEM 格式</translation>
    </message>
    <message>
        <source>&apos;%1&apos; of --sila is not a port number (0 to 65535)</source>
        <translation>--sila 的参数“%1”不是端口号（0 到 65535）</translation>
    </message>
    <message>
        <source>--sila-cert and --sila-key go together, with --sila</source>
        <translation>--sila-cert 与 --sila-key 须一起给出，并与 --sila 同用</translation>
    </message>
</context>
<context>
    <name>PumpSim</name>
    <message>
        <location filename="../tools/pumpsim/main.cpp" line="35"/>
        <source>cannot block SIGINT/SIGTERM</source>
        <translation>无法屏蔽 SIGINT/SIGTERM</translation>
    </message>
</context>
<context>
    <name>SimOptions</name>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="24"/>
        <source>Flow setpoint at start.</source>
        <translation>启动时的流量设定值。</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="25"/>
        <source>Protection-pressure limit at start.</source>
        <translation>启动时的保护压力上限。</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="26"/>
        <source>Start running instead of stopped.</source>
        <translation>启动时即运行，而不是停止。</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="29"/>
        <source>Pump address 0..99; frames for 00 and for this address are obeyed.</source>
        <translation>泵地址 0..99；执行发给 00 和本地址的帧。</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="33"/>
        <source>Steady pressure per unit of flow.</source>
        <translation>单位流量对应的稳态压力。</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="34"/>
        <source>Time constant of the pressure lag.</source>
        <translation>压力滞后的时间常数。</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="37"/>
        <source>Amplitude of the reading&apos;s uniform noise.</source>
        <translation>读数均匀噪声的幅度。</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="38"/>
        <source>Seed for the reading noise and stray bytes.</source>
        <translation>读数噪声和杂散字节的随机种子。</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="41"/>
        <source>Block the outlet s seconds after start: while running, the pressure climbs 0.2 MPa a second up to MPa, by default 0.5 MPa above the protection limit, which then stops the pump.</source>
        <translation>启动 s 秒后堵塞出口：运行时压力每秒上升 0.2 MPa，直至 MPa（默认比保护压力上限高 0.5 MPa，届时保护上限使泵停止）。</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="47"/>
        <source>Spring a leak s seconds after start: while running, the pressure falls away towards 0 with the time constant.</source>
        <translation>启动 s 秒后出现泄漏：运行时压力按时间常数逐渐降向 0。</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="51"/>
        <source>Stop by itself s seconds after start, or the first time it runs after that, as if it had received a stop; once.</source>
        <translation>启动 s 秒后自行停止，如同收到停止命令；若那时未在运行，则在其后第一次运行时停止；只发生一次。</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="55"/>
        <source>Stop answering s seconds after start, for the seconds after the colon or for ever. The line stays open and frames are still obeyed.</source>
        <translation>启动 s 秒后不再应答，持续冒号后的秒数，未给出则一直不应答。线路保持打开，收到的帧仍照常执行。</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="59"/>
        <source>Extra delay before each reply.</source>
        <translation>每次应答前额外的延迟。</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="60"/>
        <source>Leave every Nth reply unsent.</source>
        <translation>每第 N 个应答不发送。</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="62"/>
        <source>Send 1..3 stray bytes before every Nth reply.</source>
        <translation>每第 N 个应答前发送 1..3 个杂散字节。</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="64"/>
        <source>Send each reply in two writes: 4 bytes, then the rest.</source>
        <translation>每个应答分两次写出：先 4 个字节，再写其余部分。</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="67"/>
        <source>Pause between the two writes of --split.</source>
        <translation>--split 两次写出之间的停顿。</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="69"/>
        <source>Hold every odd-numbered reply and send it with the next one in one write.</source>
        <translation>扣住每个奇数序号的应答，与下一个应答一次写出。</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="73"/>
        <source>Hang up the line after N received frames.</source>
        <translation>收到 N 帧后挂断线路。</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="75"/>
        <source>After N received frames close the line and remove the --link symlink, as an unplugged USB adapter does; come back later on a new pseudo-terminal.</source>
        <translation>收到 N 帧后关闭线路并删除 --link 符号链接，如同拔下 USB 转接器；稍后在新的伪终端上恢复。</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="80"/>
        <source>How long the line stays away before it comes back, with the --link symlink moved to it.</source>
        <translation>线路消失多久后恢复，恢复时 --link 符号链接指向新的伪终端。</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="84"/>
        <source>Vanish again after every N more received frames once back; 0 vanishes only once. Needs --vanish-after.</source>
        <translation>恢复后每再收到 N 帧就再次消失；0 表示只消失一次。需要同时给出 --vanish-after。</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="87"/>
        <source>Append every received frame to FILE.</source>
        <translation>把收到的每一帧追加到文件 FILE。</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="90"/>
        <source>Append every write to the line (replies and stray bytes) to FILE.</source>
        <translation>把写到线路上的每次数据（应答和杂散字节）追加到文件 FILE。</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="94"/>
        <source>Append every setting, run and stop obeyed to FILE, with the time, the flow, limit and run state after it, and the volume delivered so far (ml).</source>
        <translation>把泵接受的每个设定、运行和停止命令，连同时间、其后的流量、限压和运行状态以及至今送出的体积（ml），追加到 FILE。</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="98"/>
        <source>Also make PATH a symlink to the slave.</source>
        <translation>另外把 PATH 做成指向从端的符号链接。</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="114"/>
        <source>Show this help and exit.</source>
        <translation>显示本说明后退出。</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="116"/>
        <source>Show the program&apos;s name and version and exit.</source>
        <translation>显示程序名和版本号后退出。</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="123"/>
        <source>%1 Default: %2.</source>
        <translation>%1默认值：%2。</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="127"/>
        <source>Usage: corvane-pumpsim [OPTION]...</source>
        <translation>用法：corvane-pumpsim [选项]...</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="128"/>
        <source>Simulated constant-flow pump on a pseudo-terminal, to run the panel and its tests without the pump. It prints the slave path to stdout; open it at 9600 8N1 and talk the pump&apos;s nine-character frames.</source>
        <translation>伪终端上的模拟恒流泵，用于在没有泵时运行面板及其测试。它把从端路径打印到标准输出；以 9600 8N1 打开该路径，用泵的九字符帧通信。</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="176"/>
        <source>--%1: expected a number from %2 to %3, got &apos;%4&apos;</source>
        <translation>--%1：应为 %2 到 %3 之间的数，而不是“%4”</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="208"/>
        <source>--%1: expected s or s:%2, got &apos;%3&apos;</source>
        <translation>--%1：应为 s 或 s:%2，而不是“%3”</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="226"/>
        <source>--%1: expected a whole number from 0 to %2, got &apos;%3&apos;</source>
        <translation>--%1：应为 0 到 %2 之间的整数，而不是“%3”</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="247"/>
        <source>--seed: expected a whole number, got &apos;%1&apos;</source>
        <translation>--seed：应为非负整数，而不是“%1”</translation>
    </message>
    <message>
        <location filename="../tools/pumpsim/simoptions.cpp" line="270"/>
        <source>--vanish-every needs --vanish-after</source>
        <translation>--vanish-every 需要同时给出 --vanish-after</translation>
    </message>
</context>
</TS>
