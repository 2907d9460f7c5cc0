#include "app/form1ui.h"

#include "app/focusring.h"
#include "app/form1layout.h"
#include "app/panelpalette.h"
#include "app/panelsurface.h"
#include "app/statusarea.h"
#include "platform/plotarea.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>

namespace {

constexpr QSize kKeyFaceSize(39, 21);

// What a screen reader says of a control, where its face or place does not say it: the keys
// whose faces are signs, the boxes whose captions are only pixels of the background picture.
struct Spoken
{
    const char *name;
    int index;
    const char *accessibleName;
    const char *description;
};

constexpr Spoken kSpoken[] = {
    {"Cmd0", 13, "0", "输入数字 0"},
    {"Cmd0", 0, "▲ 输入 0", "输入数字 0"},
    {"Cmd0", 1, "▼ 输入 0", "输入数字 0"},
    {"Cmdl", -1, "L 流量输入", "开始输入流量设定，单位 ml/min，四位数字"},
    {"Cmdp", -1, "P 压力输入", "开始输入保护压力设定，单位 MPa，三位数字"},
    {"Cmdr", -1, "RUN 运行", "让泵运行"},
    {"Cmds", -1, "STOP 停止", "让泵停止"},
    {"pnow", -1, "当前压力, MPa", ""},
    {"prset", -1, "设定压力, MPa", "保护压力设定"},
    {"lqset", -1, "设定流量, ml/min", "流量设定"},
    {"lhour", -1, "定时运行已用小时", ""},
    {"lmin", -1, "定时运行已用分钟", ""},
    {"lsed", -1, "定时运行已用秒", ""},
    {"Picture1", -1, "当前泵压力曲线, MPa", "尚无读数"},
};

void describe(QWidget *widget, const Form1Layout::Control &control)
{
    for (const Spoken &spoken : kSpoken) {
        if (qstrcmp(spoken.name, control.name) != 0 || spoken.index != control.index)
            continue;
        widget->setAccessibleName(QString::fromUtf8(spoken.accessibleName));
        widget->setAccessibleDescription(QString::fromUtf8(spoken.description));
        return;
    }
    if (control.kind == Form1Layout::Kind::KeyButton) {
        widget->setAccessibleName(QString::fromUtf8(control.text));
        widget->setAccessibleDescription(QStringLiteral("输入数字 ") +
                                         QString::fromUtf8(control.text));
    }
}

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

// The value boxes hold four characters in 41 pixels, which SimSun's half-width digits fill.
// The proportional WenQuanYi face's digits are wider; its monospaced face's are half-width.
QFont textBoxFont()
{
    QFont font = panelFont(12);
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体"),
                      QStringLiteral("WenQuanYi Zen Hei Mono"),
                      QStringLiteral("Noto Sans Mono CJK SC")});
    return font;
}

QLineEdit *makeTextBox(const QString &text, QStyle *style, QWidget *parent)
{
    auto *box = new QLineEdit(text, parent);
    // The boxes hold four characters in 41 pixels: a style with wider padding or frame (the
    // Adwaita ones) would scroll a digit out of sight. They keep one look of their own.
    box->setStyle(style);
    box->setFont(textBoxFont());
    box->setTextMargins(0, 0, 0, 0);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, PanelPalette::kBlue);
    palette.setColor(QPalette::Text, PanelPalette::kCyan);
    box->setPalette(palette);
    return box;
}

QPushButton *makeKey(const Form1Layout::Control &control, QWidget *parent)
{
    auto *key = new QPushButton(parent);
    key->setIcon(QIcon(QString::fromLatin1(control.face)));
    key->setIconSize(kKeyFaceSize);
    key->setFocusPolicy(Qt::StrongFocus);
    // A key handles the left button only; the others must not fall through to the surface.
    key->setAttribute(Qt::WA_NoMousePropagation);
    if (control.index >= 0)
        key->setProperty("index", control.index);
    return key;
}

QLabel *makeClockLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFont(panelFont(15.75));
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, PanelPalette::kBlue);
    palette.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::WindowText));
    label->setPalette(palette);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // A shown clock label takes its presses; the surface behind it never sees them.
    label->setAttribute(Qt::WA_NoMousePropagation);
    return label;
}

QMenu *makeMenu(QWidget *parent, const char *name, const char *caption)
{
    auto *menu = new QMenu(QString::fromUtf8(caption), parent);
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(name));
    return menu;
}

QAction *addItem(QWidget *menu, const char *name, const char *caption)
{
    auto *action = new QAction(QString::fromUtf8(caption), menu);
    action->setObjectName(QString::fromLatin1(name));
    menu->addAction(action);
    return action;
}

} // namespace

void Form1Ui::setupUi(QMainWindow *form)
{
    // The picture is drawn once, unscaled, from the top-left corner; beyond it, plain blue.
    surface = new PanelSurface(QStringLiteral(":/artwork/background.jpg"),
                               Form1Layout::clientSize(), form);
    surface->setObjectName(QStringLiteral("surface"));
    QPalette palette = surface->palette();
    palette.setColor(QPalette::WindowText, PanelPalette::kCyan);
    surface->setPalette(palette);
    form->setCentralWidget(surface);

    setupControls();
    setupMenus(form);
}

void Form1Ui::setupControls()
{
    const QHash<QString, QPushButton **> singleKeys{
        {QStringLiteral("Cmd1"), &Cmd1}, {QStringLiteral("Cmd2"), &Cmd2},
        {QStringLiteral("Cmd3"), &Cmd3}, {QStringLiteral("Cmd4"), &Cmd4},
        {QStringLiteral("Cmd5"), &Cmd5}, {QStringLiteral("Cmd6"), &Cmd6},
        {QStringLiteral("Cmd7"), &Cmd7}, {QStringLiteral("Cmd8"), &Cmd8},
        {QStringLiteral("Cmd9"), &Cmd9}, {QStringLiteral("Cmdl"), &Cmdl},
        {QStringLiteral("Cmdp"), &Cmdp}, {QStringLiteral("Cmdr"), &Cmdr},
        {QStringLiteral("Cmds"), &Cmds}};
    const QHash<QString, QLineEdit **> textBoxes{{QStringLiteral("pnow"), &pnow},
                                                 {QStringLiteral("prset"), &prset},
                                                 {QStringLiteral("lqset"), &lqset}};
    const QHash<QString, QLabel **> clockLabels{
        {QStringLiteral("lhour"), &lhour}, {QStringLiteral("Label1"), &Label1},
        {QStringLiteral("lmin"), &lmin},   {QStringLiteral("Label2"), &Label2},
        {QStringLiteral("lsed"), &lsed},   {QStringLiteral("Label3"), &Label3}};

    QStyle *valueBoxStyle = QStyleFactory::create(QStringLiteral("Fusion"));
    valueBoxStyle->setParent(surface);
    QMap<int, QWidget *> tabOrder;
    for (const Form1Layout::Control &control : Form1Layout::controls()) {
        const QString name = QString::fromLatin1(control.name);
        const QString text = QString::fromUtf8(control.text);
        QWidget *widget = nullptr;
        switch (control.kind) {
        case Form1Layout::Kind::TextBox:
            widget = *textBoxes.value(name) = makeTextBox(text, valueBoxStyle, surface);
            break;
        case Form1Layout::Kind::KeyButton: {
            QPushButton *key = makeKey(control, surface);
            if (name == u"Cmd0")
                Cmd0.append(key);
            else
                *singleKeys.value(name) = key;
            widget = key;
            break;
        }
        case Form1Layout::Kind::ClockLabel:
            widget = *clockLabels.value(name) = makeClockLabel(text, surface);
            clockRow.append(static_cast<QLabel *>(widget));
            break;
        case Form1Layout::Kind::PlotArea:
            widget = Picture1 = new PlotArea(surface);
            break;
        }
        widget->setObjectName(name);
        widget->setGeometry(control.pixelRect());
        describe(widget, control);
        tabOrder.insert(control.tabIndex, widget);
    }

    new FocusRing(surface);
    statusArea = new StatusArea(Form1Layout::twipsToPixels(Form1Layout::kStatusAreaTwips),
                                Form1Layout::twipsToPixels(Form1Layout::kBrandPanelTwips), surface);
    alarmAck = statusArea->addButton(StatusArea::Line::Alarm, QStringLiteral("alarmAck"),
                                     QStringLiteral("确认报警"));
    alarmAck->setAccessibleDescription(QStringLiteral("确认所有报警，报警声停止"));
    runStateAck = statusArea->addButton(StatusArea::Line::Run, QStringLiteral("runStateAck"),
                                        QStringLiteral("确认"));
    runStateAck->setAccessibleDescription(QStringLiteral("确认定时运行中断的提示"));

    QWidget *previous = nullptr;
    for (QWidget *widget : std::as_const(tabOrder)) {
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

void Form1Ui::setupMenus(QMainWindow *form)
{
    QMenuBar *bar = form->menuBar();

    file = makeMenu(bar, "file", "文件(F)");
    save = addItem(file, "save", "保存");
    print = addItem(file, "print", "打印");
    end = addItem(file, "end", "退出");
    // The panel's own items, behind the designed ones.
    file->addSeparator();
    saveAs = addItem(file, "saveAs", "另存为…");
    history = addItem(file, "history", "历史曲线…");
    openLogFolder = addItem(file, "openLogFolder", "打开读数日志文件夹");
    auditTrail = addItem(file, "auditTrail", "审计记录…");
    bar->addMenu(file);

    settime = makeMenu(bar, "settime", "定时(T)");
    stset = addItem(settime, "stset", "设定");
    operation = makeMenu(settime, "operation", "操作");
    ststart = addItem(operation, "ststart", "开始");
    stzanting = addItem(operation, "stzanting", "暂停");
    stcontiune = addItem(operation, "stcontiune", "继续");
    stend = addItem(operation, "stend", "结束");
    settime->addMenu(operation);
    settime->addSeparator();
    program = addItem(settime, "program", "程序…");
    bar->addMenu(settime);

    Pump = makeMenu(bar, "Pump", "泵(O)");
    run = addItem(Pump, "run", "运行");
    stop = addItem(Pump, "stop", "停止");
    bar->addMenu(Pump);

    seting = makeMenu(bar, "seting", "设定(S)");
    liquid = addItem(seting, "liquid", "流量");
    pressure = addItem(seting, "pressure", "压力");
    Pump_NO = addItem(seting, "Pump_NO", "泵编号");
    seting->addSeparator();
    alarmSettings = addItem(seting, "alarmSettings", "报警设定…");
    operatorName = addItem(seting, "operator", "操作员…");
    remoteControl = addItem(seting, "remoteControl", "远程控制…");
    maintenance = addItem(seting, "maintenance", "维护…");
    bar->addMenu(seting);

    // A menu-bar item with an action of its own, no menu under it.
    Communication = addItem(bar, "Communication", "通信");

    // Hidden from the bar: it serves only as the right-button pop-up menu.
    rightkey = makeMenu(bar, "rightkey", "右键");
    rrun = addItem(rightkey, "rrun", "运行");
    rstop = addItem(rightkey, "rstop", "停止");
    bar->addMenu(rightkey)->setVisible(false);

    help = addItem(bar, "help", "帮助(H)");
}
