#include "form1.h"

#include "commandframe.h"
#include "form1layout.h"
#include "linkprotocol.h"
#include "numbertext.h"
#include "plotarea.h"
#include "recordpath.h"
#include "serialcontrol.h"
#include "widgetmodalboxes.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

namespace {

constexpr QColor kPanelBlue(0, 0, 255);
constexpr QColor kPanelCyan(0, 255, 255);
constexpr QColor kStaleGrey(150, 150, 150);
constexpr QColor kTrendRed(255, 0, 0);
constexpr auto kClockInterval = std::chrono::milliseconds(1000);

// SimSun where the machine has it, else another font with Chinese glyphs.
QFont panelFont(double pointSize)
{
    QFont font;
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体"),
                      QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC")});
    font.setPointSizeF(pointSize);
    font.setBold(true);
    return font;
}

void setTextColor(QLineEdit *box, const QColor &color)
{
    QPalette palette = box->palette();
    if (palette.color(QPalette::Text) == color)
        return;
    palette.setColor(QPalette::Text, color);
    box->setPalette(palette);
}

} // namespace

Form1::Form1(ModalBoxes *boxes, QWidget *parent)
    : QMainWindow(parent)
{
    if (!boxes) {
        m_ownBoxes = std::make_unique<WidgetModalBoxes>(this);
        boxes = m_ownBoxes.get();
    }
    m_boxes = boxes;

    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Corvane(KMW7R35)V2.0"));
    setWindowIcon(QIcon(QStringLiteral(":/artwork/icon.png")));
    // The right button on the surface opens the panel's own pop-up menu, nothing else.
    setContextMenuPolicy(Qt::PreventContextMenu);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    connect(Timer2, &QTimer::timeout, this, &Form1::Timer2_Timer);

    MSComm1 = new SerialControl(this);
    MSComm1->setObjectName(QStringLiteral("MSComm1"));
    connect(MSComm1, &SerialControl::OnComm, this, &Form1::MSComm1_OnComm);
    connect(MSComm1, &SerialControl::failed, this, &Form1::onPortFailed);

    buildControls();
    buildMenus();

    // The client area sits at its designed place; the menu bar comes on top of it.
    const int menuHeight = menuBar()->sizeHint().height();
    const QSize client = Form1Layout::clientSize();
    const QPoint topLeft = Form1Layout::clientTopLeft();
    setGeometry(topLeft.x(), topLeft.y() - menuHeight, client.width(), client.height() + menuHeight);

    Form_Load();
}

Form1::~Form1() = default;

void Form1::buildControls()
{
    auto *surface = new QWidget(this);
    surface->setObjectName(QStringLiteral("surface"));
    surface->setAttribute(Qt::WA_StyledBackground);
    surface->setStyleSheet(QStringLiteral(
        "#surface { background-color: rgb(0, 0, 255);"
        " background-image: url(:/artwork/background.jpg);"
        " background-repeat: no-repeat; background-position: top left; }"));
    QPalette surfacePalette = surface->palette();
    surfacePalette.setColor(QPalette::WindowText, kPanelCyan);
    surface->setPalette(surfacePalette);
    setCentralWidget(surface);

    QMap<int, QWidget *> tabOrder;
    for (const Form1Layout::Control &control : Form1Layout::controls()) {
        QWidget *widget = nullptr;
        const QString text = QString::fromUtf8(control.text);
        switch (control.kind) {
        case Form1Layout::Kind::TextBox: {
            auto *box = new QLineEdit(text, surface);
            box->setFont(panelFont(12));
            box->setTextMargins(0, 0, 0, 0);
            QPalette palette = box->palette();
            palette.setColor(QPalette::Base, kPanelBlue);
            palette.setColor(QPalette::Text, kPanelCyan);
            box->setPalette(palette);
            widget = box;
            break;
        }
        case Form1Layout::Kind::KeyButton: {
            auto *button = new QPushButton(surface);
            button->setIcon(QIcon(QString::fromLatin1(control.face)));
            button->setIconSize(QSize(39, 21));
            button->setAccessibleName(text);
            button->setFocusPolicy(Qt::StrongFocus);
            button->setAttribute(Qt::WA_NoMousePropagation); // no surface pop-up from a key
            if (control.index >= 0)
                button->setProperty("index", control.index);
            widget = button;
            break;
        }
        case Form1Layout::Kind::ClockLabel: {
            auto *label = new QLabel(text, surface);
            label->setFont(panelFont(15.75));
            label->setAutoFillBackground(true);
            QPalette palette = label->palette();
            palette.setColor(QPalette::Window, kPanelBlue);
            palette.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::WindowText));
            label->setPalette(palette);
            label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            // A shown clock label takes its presses; the surface behind it never sees them.
            label->setAttribute(Qt::WA_NoMousePropagation);
            m_clockLabels.append(label);
            widget = label;
            break;
        }
        case Form1Layout::Kind::PlotArea:
            widget = Picture1 = new PlotArea(surface);
            break;
        }
        widget->setObjectName(QString::fromLatin1(control.name));
        widget->setGeometry(control.pixelRect());
        tabOrder.insert(control.tabIndex, widget);
    }

    pnow = surface->findChild<QLineEdit *>(QStringLiteral("pnow"));
    prset = surface->findChild<QLineEdit *>(QStringLiteral("prset"));
    lqset = surface->findChild<QLineEdit *>(QStringLiteral("lqset"));
    Cmdr = surface->findChild<QPushButton *>(QStringLiteral("Cmdr"));
    Cmds = surface->findChild<QPushButton *>(QStringLiteral("Cmds"));
    connect(Cmdr, &QPushButton::clicked, this, &Form1::runPump);
    connect(Cmds, &QPushButton::clicked, this, &Form1::stopPump);

    QWidget *previous = nullptr;
    for (QWidget *widget : std::as_const(tabOrder)) {
        if (previous)
            setTabOrder(previous, widget);
        previous = widget;
    }
}

void Form1::buildMenus()
{
    QMenuBar *bar = menuBar();
    const auto addMenu = [](QWidget *parent, const char *name, const char *caption) {
        auto *menu = new QMenu(QString::fromUtf8(caption), parent);
        menu->setObjectName(QString::fromLatin1(name));
        menu->menuAction()->setObjectName(QString::fromLatin1(name));
        return menu;
    };
    const auto addItem = [](QMenu *menu, const char *name, const char *caption) {
        QAction *action = menu->addAction(QString::fromUtf8(caption));
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };

    file = addMenu(bar, "file", "文件(F)");
    addItem(file, "save", "保存");
    addItem(file, "print", "打印");
    connect(addItem(file, "end", "退出"), &QAction::triggered, this, &Form1::endRequested);
    bar->addMenu(file);

    settime = addMenu(bar, "settime", "定时(T)");
    addItem(settime, "stset", "设定");
    QMenu *operation = addMenu(settime, "operation", "操作");
    addItem(operation, "ststart", "开始");
    addItem(operation, "stzanting", "暂停");
    addItem(operation, "stcontiune", "继续");
    addItem(operation, "stend", "结束");
    settime->addMenu(operation);
    bar->addMenu(settime);

    Pump = addMenu(bar, "Pump", "泵(O)");
    connect(addItem(Pump, "run", "运行"), &QAction::triggered, this, &Form1::runPump);
    connect(addItem(Pump, "stop", "停止"), &QAction::triggered, this, &Form1::stopPump);
    bar->addMenu(Pump);

    seting = addMenu(bar, "seting", "设定(S)");
    addItem(seting, "liquid", "流量");
    addItem(seting, "pressure", "压力");
    connect(addItem(seting, "Pump_NO", "泵编号"), &QAction::triggered, this, &Form1::Pump_NO_Click);
    bar->addMenu(seting);

    QAction *communication = bar->addAction(QStringLiteral("通信"));
    communication->setObjectName(QStringLiteral("Communication"));
    connect(communication, &QAction::triggered, this, &Form1::Communication_Click);

    // Hidden from the bar: it serves only as the right-button pop-up menu.
    rightkey = addMenu(bar, "rightkey", "右键");
    connect(addItem(rightkey, "rrun", "运行"), &QAction::triggered, this, &Form1::runPump);
    connect(addItem(rightkey, "rstop", "停止"), &QAction::triggered, this, &Form1::stopPump);
    bar->addMenu(rightkey)->setVisible(false);

    // Choosing 帮助(H) does nothing.
    bar->addAction(QStringLiteral("帮助(H)"))->setObjectName(QStringLiteral("help"));
}

void Form1::Form_Load()
{
    setLinkMenusEnabled(false);
    m_state.lq = 0;
    m_state.pr = 0;
    m_state.Set_Pump_NO = 0;
    Timer1->setInterval(kClockInterval);
    Timer1->stop();
    Timer2->setInterval(LinkProtocol::kPollInterval);
    Timer2->stop();
    for (QLabel *label : std::as_const(m_clockLabels))
        label->hide();
    Picture1->setScale(QPointF(0, 10), QPointF(100, -5));
    m_trend.setPrhistory(0, 0.0);
    if (QWidget *firstKey = centralWidget()->findChild<QWidget *>(QStringLiteral("Cmd1")))
        firstKey->setFocus();
}

QString Form1::recordFilePath() const
{
    return RecordPath::toLocalPath(QString::fromLatin1(RecordPath::kRecordFile), m_driveFolders);
}

void Form1::setLinkMenusEnabled(bool enabled)
{
    for (QMenu *menu : {file, settime, Pump, rightkey, seting}) {
        menu->menuAction()->setEnabled(enabled);
        menu->setEnabled(enabled);
    }
}

void Form1::mousePressEvent(QMouseEvent *event)
{
    // Presses on controls stay with them; what arrives here fell on the window's surface.
    if (centralWidget()->geometry().contains(event->position().toPoint()))
        Form_MouseDown(event->button(), event->globalPosition().toPoint());
    QMainWindow::mousePressEvent(event);
}

void Form1::Form_MouseDown(Qt::MouseButton button, const QPoint &globalPos)
{
    if (button != Qt::RightButton || !rightkey->isEnabled())
        return;
    rightkey->popup(globalPos);
}

void Form1::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

void Form1::Form_Unload()
{
    MSComm1->setPortOpen(false);
    // No poll may go out to a closed port while the program winds down.
    Timer2->stop();
}

void Form1::Communication_Click()
{
    const QString title = tr("通信");
    const QString answer = m_boxes->inputBox(QStringLiteral("Input communication port"),
                                             QStringLiteral("Commport"), QStringLiteral("1"));
    if (answer.isEmpty())
        return;
    const std::optional<qint16> port = NumberText::toInt16(answer);
    if (!port) {
        m_boxes->messageBox(tr("“%1”不是有效的端口号。请输入端口的编号，例如 1。").arg(answer), title);
        return;
    }

    const bool wasOpen = MSComm1->portOpen();
    const int previousPort = MSComm1->commPort();
    const QString previousDevice = MSComm1->openDevice();
    MSComm1->setCommPort(*port);
    if (!MSComm1->setPortOpen(true)) {
        MSComm1->setCommPort(previousPort);
        QString message = MSComm1->errorString();
        if (wasOpen)
            message += tr("\n端口 %1（%2）仍在使用。").arg(previousPort).arg(previousDevice);
        m_boxes->messageBox(message, title);
        return;
    }
    if (!MSComm1->setSettings(QString::fromLatin1(LinkProtocol::kLineSettings))) {
        const QString message = MSComm1->errorString();
        MSComm1->setPortOpen(false);
        setLinkMenusEnabled(false);
        Timer2->stop();
        m_boxes->messageBox(message, title);
        return;
    }
    MSComm1->setInputLen(0);
    MSComm1->setRThreshold(LinkProtocol::kReceiveThreshold);
    m_reader.clear();

    setLinkMenusEnabled(true);
    m_pollsWithoutReading = 0;
    Timer2->start();
}

void Form1::onPortFailed(const QString &reason)
{
    // The port is already closed; back to the closed state so that 通信 can open it again.
    Timer2->stop();
    setLinkMenusEnabled(false);
    m_reader.clear();
    setReadingStale(true);
    m_boxes->messageBox(tr("%1\n通信端口已关闭。请检查连线，然后选择“通信”重新打开端口。").arg(reason),
                        tr("通信"));
}

void Form1::SendFrame(const QString &frame)
{
    const QString title = tr("通信");
    if (!isWellFormedFrame(frame)) {
        m_boxes->messageBox(tr("命令帧“%1”格式不正确，未发送。").arg(frame), title);
        return;
    }
    if (!MSComm1->portOpen()) {
        m_boxes->messageBox(tr("通信端口未打开，命令 %1 未发送。请先选择“通信”打开端口。").arg(frame),
                            title);
        return;
    }
    if (!MSComm1->setOutput(frame.toLatin1()))
        m_boxes->messageBox(tr("命令 %1 未能发送：%2").arg(frame, MSComm1->errorString()), title);
}

void Form1::runPump()
{
    SendFrame(QString::fromLatin1(LinkProtocol::kRunFrame));
}

void Form1::stopPump()
{
    SendFrame(QString::fromLatin1(LinkProtocol::kStopFrame));
}

void Form1::Pump_NO_Click()
{
    const QString answer = m_boxes->inputBox(QStringLiteral("请输入要控制泵的编号 "),
                                             QStringLiteral("编号设定"), QStringLiteral("0"));
    const std::optional<qint16> number = NumberText::toInt16(answer);
    // A number outside 0..99 would not fit the frame's two address digits.
    if (!number || *number < 0 || *number > 99)
        return;
    m_state.Set_Pump_NO = *number;
}

void Form1::Timer2_Timer()
{
    SendFrame(QString::fromLatin1(LinkProtocol::kPollFrame));
    if (++m_pollsWithoutReading >= LinkProtocol::kPollsUntilStale)
        setReadingStale(true);
}

void Form1::MSComm1_OnComm()
{
    if (MSComm1->commEvent() != SerialControl::kEventReceive)
        return;
    const QList<QByteArray> frames = m_reader.feed(MSComm1->input());
    for (const QByteArray &frame : frames)
        handleReply(frame);
    // With part of a frame already here, the rest of it is enough to be worth an event.
    MSComm1->setRThreshold(LinkProtocol::kReceiveThreshold - int(m_reader.pendingSize()));
}

void Form1::handleReply(const QByteArray &frame)
{
    const char letter = frame.at(3);
    const QString value = QString::fromLatin1(frame.mid(4, 4));
    switch (letter) {
    case 'N':
        pnow->setText(value);
        m_pollsWithoutReading = 0;
        setReadingStale(false);
        break;
    // A setting reported while the operator types one of that kind would break the entry.
    case 'P':
        if (m_state.pr != 1)
            prset->setText(value);
        break;
    case 'L':
        if (m_state.lq != 1)
            lqset->setText(value);
        break;
    default:
        break;
    }

    for (const QLineF &axis : PressureTrend::axisLines())
        Picture1->line(axis);
    const PressureTrend::Step step = m_trend.addSample(pnow->text());
    Picture1->line(step.segment, kTrendRed);
    if (step.sweepEnded)
        Picture1->cls();
}

void Form1::setReadingStale(bool stale)
{
    m_readingStale = stale;
    setTextColor(pnow, stale ? kStaleGrey : kPanelCyan);
}
