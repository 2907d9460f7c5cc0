#include "app/form1.h"
#include "app/form1layout.h"
#include "app/historywindow.h"
#include "app/programpanel.h"
#include "app/programwindow.h"
#include "app/statusarea.h"
#include "audit/auditlog.h"
#include "platform/plotarea.h"
#include "platform/serialcontrol.h"
#include "records/logwriter.h"
#include "tests/support/scriptedboxes.h"
#include "tools/pty/pseudoterminal.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtMath>

namespace {

// Every control as designed: name, index among keys sharing a name (-1: none), twips, tab index.
struct DesignedControl
{
    const char *name;
    int index;
    QRect twips;
    int tabIndex;
    bool takesFocus;
};

const DesignedControl kDesigned[] = {
    {"pnow", -1, {8040, 600, 615, 315}, 14, true},
    {"prset", -1, {8040, 960, 615, 315}, 15, true},
    {"lqset", -1, {8040, 1320, 615, 315}, 16, true},
    {"Cmd0", 13, {6720, 2160, 615, 375}, 12, true},
    {"Cmd1", -1, {7360, 2160, 615, 375}, 0, true},
    {"Cmd2", -1, {8020, 2160, 615, 375}, 1, true},
    {"Cmd3", -1, {8680, 2160, 615, 375}, 2, true},
    {"Cmd4", -1, {6720, 2640, 615, 375}, 4, true},
    {"Cmd5", -1, {7360, 2640, 615, 375}, 5, true},
    {"Cmd6", -1, {8020, 2640, 615, 375}, 6, true},
    {"Cmd7", -1, {8680, 2640, 615, 375}, 8, true},
    {"Cmd8", -1, {6720, 3120, 615, 375}, 9, true},
    {"Cmd9", -1, {7360, 3120, 615, 375}, 10, true},
    {"Cmd0", 0, {8020, 3120, 615, 375}, 20, true},
    {"Cmd0", 1, {8680, 3120, 615, 375}, 21, true},
    {"Cmdl", -1, {6720, 3600, 615, 375}, 3, true},
    {"Cmdp", -1, {7360, 3600, 615, 375}, 7, true},
    {"Cmdr", -1, {8020, 3600, 615, 375}, 11, true},
    {"Cmds", -1, {8680, 3600, 615, 375}, 13, true},
    {"lhour", -1, {0, 0, 615, 375}, 17, false},
    {"Label1", -1, {600, 0, 495, 375}, 22, false},
    {"lmin", -1, {1080, 0, 495, 375}, 18, false},
    {"Label2", -1, {1560, 0, 495, 375}, 23, false},
    {"lsed", -1, {2040, 0, 615, 375}, 19, false},
    {"Label3", -1, {2640, 0, 495, 375}, 24, false},
    {"Picture1", -1, {600, 4680, 9975, 2175}, 25, false},
};

// The first and last column of a picture that carry the text boxes' cyan, blended into their
// blue as anti-aliased text is; {-1, -1} when none does.
std::pair<int, int> inkColumns(const QImage &image)
{
    int first = -1;
    int last = -1;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.red() < 60 && pixel.green() > 60 && pixel.blue() > 200) {
                first = first < 0 ? x : first;
                last = x;
                break;
            }
        }
    }
    return {first, last};
}

QString controlLabel(const QString &name, int index)
{
    return index < 0 ? name : QStringLiteral("%1(%2)").arg(name).arg(index);
}

QString controlLabel(const QWidget *widget)
{
    const QVariant index = widget->property("index");
    return controlLabel(widget->objectName(), index.isValid() ? index.toInt() : -1);
}

} // namespace

// The main window: how it comes up, where its controls sit, and opening the serial link with
// 通信, including every way that can fail.
class TestForm1 : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void startsClosed();
    void recordFileFollowsDriveFolders();
    void menuBarAsDesigned();
    void menuItems_data();
    void menuItems();
    void panelItemsDoWhatTheySay();
    void controlsSitWhereDesigned_data();
    void controlsSitWhereDesigned();
    void keypadFacesAndTabOrder();
    void enlargingMovesNothing();
    void screenReaderTexts();
    void keyboardReachesMenusAndShowsFocus();
    void placeOnScreen_data();
    void placeOnScreen();
    void valuesFitTheirBoxes_data();
    void valuesFitTheirBoxes();
    void artworkSharpAtScale();

    void communicationOpensPort_data();
    void communicationOpensPort();
    void badAnswersKeepPanelClosed_data();
    void badAnswersKeepPanelClosed();
    void secondCommunicationSwitchesOrKeepsPort();
    void communicationTakesDevicePath();
    void frameWhileClosedIsNotSent();
    void hangUpIsToldAndLineReopensByItself();
    void realDialogsOpenThePort();

private:
    template <typename T> T *child(const char *name) const
    {
        return m_form->findChild<T *>(QString::fromLatin1(name));
    }
    void choose(const char *actionName) { child<QAction>(actionName)->trigger(); }
    bool linkMenusEnabled(bool enabled) const;

    ScriptedBoxes *m_boxes = nullptr;
    Form1 *m_form = nullptr;
    PseudoTerminal m_pty;
};

void TestForm1::init()
{
    m_pty.hangUp();
    QVERIFY(m_pty.open());
    m_boxes = new ScriptedBoxes;
    m_form = new Form1(m_boxes);
    m_form->serialControl()->setPortMap({{1, m_pty.slavePath()}});
}

void TestForm1::cleanup()
{
    delete m_form;
    delete m_boxes;
    m_form = nullptr;
    m_boxes = nullptr;
}

bool TestForm1::linkMenusEnabled(bool enabled) const
{
    for (const char *name : {"file", "settime", "Pump", "seting", "rightkey"}) {
        const QMenu *menu = child<QMenu>(name);
        // The pop-up menu's entry in the bar is hidden, and a hidden action is never enabled.
        const bool inBar = menu->menuAction()->isVisible();
        if (menu->isEnabled() != enabled || (inBar && menu->menuAction()->isEnabled() != enabled))
            return false;
    }
    return true;
}

void TestForm1::startsClosed()
{
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Corvane(KMW7R35)V2.0"));
    QVERIFY(linkMenusEnabled(false));
    QVERIFY(child<QAction>("Communication")->isEnabled());
    QVERIFY(child<QAction>("help")->isEnabled());
    QVERIFY(!child<QMenu>("rightkey")->menuAction()->isVisible());

    QCOMPARE(child<QLineEdit>("pnow")->text(), QStringLiteral("00.0"));
    QCOMPARE(child<QLineEdit>("prset")->text(), QStringLiteral("02.0"));
    QCOMPARE(child<QLineEdit>("lqset")->text(), QStringLiteral("0000"));
    for (const char *name : {"lhour", "Label1", "lmin", "Label2", "lsed", "Label3"})
        QVERIFY2(child<QLabel>(name)->isHidden(), name);
    QCOMPARE(child<QLabel>("Label1")->text(), QStringLiteral("时"));

    const QTimer *timer1 = child<QTimer>("Timer1");
    const QTimer *timer2 = child<QTimer>("Timer2");
    QVERIFY(!timer1->isActive());
    QVERIFY(!timer2->isActive());
    QCOMPARE(timer1->interval(), 1000);
    QCOMPARE(timer2->interval(), 1500);

    QCOMPARE(m_form->keypad().lq(), 0);
    QCOMPARE(m_form->keypad().pr(), 0);
    QCOMPARE(m_form->keypad().pumpNumber(), 0);
    QVERIFY(!m_form->serialControl()->portOpen());
    QCOMPARE(m_form->serialControl()->objectName(), QStringLiteral("MSComm1"));

    // (0, 2) at the top-left corner, (100, -1) at the bottom-right; y = 0 two thirds down.
    const PlotArea *plot = child<PlotArea>("Picture1");
    QCOMPARE(plot->scale(), QRectF(QPointF(0, 2), QPointF(100, -1)));
    const QSize area = plot->contentsRect().size();
    QCOMPARE(plot->toPixel(QPointF(0, 2)), QPoint(0, 0));
    QCOMPARE(plot->toPixel(QPointF(100, -1)), QPoint(area.width() - 1, area.height() - 1));
    QCOMPARE(plot->toPixel(QPointF(50, 0)).y(), qRound((area.height() - 1) * 2.0 / 3.0));
    QCOMPARE(m_form->trend().prhistory(0), 0.0);
}

void TestForm1::recordFileFollowsDriveFolders()
{
    QCOMPARE(m_form->recordSaving().recordFilePath(), QStringLiteral("/mnt/d/mytext.txt"));
    m_form->recordSaving().setDriveFolders({{u'd', QStringLiteral("/tmp/x")}});
    QCOMPARE(m_form->recordSaving().recordFilePath(), QStringLiteral("/tmp/x/mytext.txt"));
}

void TestForm1::menuBarAsDesigned()
{
    QStringList visible;
    QStringList all;
    for (const QAction *action : m_form->menuBar()->actions()) {
        all << action->objectName();
        if (action->isVisible())
            visible << action->text();
    }
    QCOMPARE(visible, QStringList({"文件(F)", "定时(T)", "泵(O)", "设定(S)", "通信", "帮助(H)"}));
    QCOMPARE(all, QStringList(
                      {"file", "settime", "Pump", "seting", "Communication", "rightkey", "help"}));
    QCOMPARE(child<QMenu>("rightkey")->title(), QStringLiteral("右键"));

    // No item of any menu answers a key of its own or carries a check mark.
    QList<QAction *> actions = m_form->menuBar()->actions();
    for (qsizetype i = 0; i < actions.size(); ++i) {
        const QAction *action = actions.at(i);
        QVERIFY2(action->shortcut().isEmpty(), qPrintable(action->objectName()));
        QVERIFY2(!action->isCheckable(), qPrintable(action->objectName()));
        if (action->menu())
            actions += action->menu()->actions();
    }
}

// Each item the panel adds to the designed menus, chosen as the operator would: the window it
// opens, the box it asks, the file it writes or the notice it gives.
void TestForm1::panelItemsDoWhatTheySay()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // A real trail of one command after the file's and the session's start.
    {
        AuditLog trail;
        trail.open(dir.filePath("audit"), "lab-panel", "s1", "tester", "test");
        trail.append({.source = "menu item", .what = "run", .text = "运行"});
        QSignalSpy written(&trail, &AuditLog::written);
        QTRY_COMPARE(written.size(), 3); // file-start, session-start, run
    }
    m_form->setAuditFolder(dir.filePath("audit"));
    const auto lastEvent = [this] {
        const QList<RunHistory::Event> events = m_form->runRecord().snapshot().events();
        return events.isEmpty() ? QString() : events.last().key;
    };

    const QString savedTo = dir.filePath("copy.txt");
    m_boxes->answers = {savedTo};
    choose("saveAs");
    QTRY_VERIFY(QFileInfo::exists(savedTo));
    QTRY_COMPARE(lastEvent(), QStringLiteral("save-as"));
    QCOMPARE(m_boxes->questions.last().title, QStringLiteral("另存为"));

    choose("history");
    QVERIFY(m_form->historyWindow() && m_form->historyWindow()->isVisible());

    // Without a reading log there is no folder to open: the status area says where the log is.
    choose("openLogFolder");
    const QList<QLabel *> rows = m_form->statusArea()->findChildren<QLabel *>();
    QVERIFY(std::any_of(rows.cbegin(), rows.cend(), [this](const QLabel *row) {
        const QString shown = m_form->readingLog()->destinationText();
        return !row->isHidden() && (row->text() == shown || row->toolTip() == shown);
    }));

    choose("auditTrail");
    auto *audit = m_form->findChild<QWidget *>("auditWindow");
    QVERIFY(audit && audit->isVisible() && audit->isWindow());
    QTRY_COMPARE(audit->findChild<QLabel *>("auditChain")->text(),
                 QStringLiteral("lab-panel：已验证到第 3 条"));
    // Non-modal: the panel's own window goes on taking input.
    QVERIFY(!QApplication::activeModalWidget());

    choose("program");
    QVERIFY(m_form->programs()->window() && m_form->programs()->window()->isVisible());

    // The alarm settings are the panel's own dialog: a high limit typed and confirmed holds.
    QTimer::singleShot(0, this, [] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog && dialog->objectName() == u"alarmSettingsDialog");
        dialog->findChild<QCheckBox *>("highOn")->setChecked(true);
        dialog->findChild<QDoubleSpinBox *>("highLimit")->setValue(1.25);
        dialog->accept();
    });
    choose("alarmSettings");
    QVERIFY(m_form->alarms()->settings().high.on);
    QCOMPARE(m_form->alarms()->settings().high.limit, 1.25);

    QSignalSpy declared(m_form, &Form1::operatorEntered);
    m_boxes->answers = {QStringLiteral("王芳")};
    choose("operator");
    QCOMPARE(m_boxes->questions.last().title, QStringLiteral("操作员"));
    QCOMPARE(declared.size(), 1);
    QCOMPARE(declared.first().first().toString(), QStringLiteral("王芳"));
}

void TestForm1::menuItems_data()
{
    // Each item as objectName=caption, in menu order.
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QStringList>("items");
    // The panel's own items come behind a separator after the designed ones.
    QTest::newRow("文件") << "file"
                          << QStringList{"save=保存",
                                         "print=打印",
                                         "end=退出",
                                         "=",
                                         "saveAs=另存为…",
                                         "history=历史曲线…",
                                         "openLogFolder=打开读数日志文件夹",
                                         "auditTrail=审计记录…"};
    QTest::newRow("定时") << "settime"
                          << QStringList{"stset=设定", "operation=操作", "=", "program=程序…"};
    QTest::newRow("定时 操作") << "operation"
                               << QStringList{"ststart=开始", "stzanting=暂停", "stcontiune=继续",
                                              "stend=结束"};
    QTest::newRow("泵") << "Pump" << QStringList{"run=运行", "stop=停止"};
    QTest::newRow("设定") << "seting"
                          << QStringList{"liquid=流量",
                                         "pressure=压力",
                                         "Pump_NO=泵编号",
                                         "=",
                                         "alarmSettings=报警设定…",
                                         "operator=操作员…",
                                         "remoteControl=远程控制…",
                                         "maintenance=维护…"};
    QTest::newRow("右键") << "rightkey" << QStringList{"rrun=运行", "rstop=停止"};
}

void TestForm1::menuItems()
{
    QFETCH(QString, menu);
    QFETCH(QStringList, items);
    const QMenu *found = m_form->findChild<QMenu *>(menu);
    QVERIFY(found);
    QStringList shown;
    for (const QAction *action : found->actions())
        shown << action->objectName() + u'=' + action->text();
    QCOMPARE(shown, items);
}

void TestForm1::controlsSitWhereDesigned_data()
{
    // Twips as designed, 15 to a pixel.
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("index");
    QTest::addColumn<QRect>("twips");
    for (const DesignedControl &control : kDesigned) {
        const QString name = QString::fromLatin1(control.name);
        QTest::newRow(qPrintable(controlLabel(name, control.index)))
            << name << control.index << control.twips;
    }
}

void TestForm1::controlsSitWhereDesigned()
{
    QFETCH(QString, name);
    QFETCH(int, index);
    QFETCH(QRect, twips);
    QWidget *found = nullptr;
    for (QWidget *widget : m_form->findChildren<QWidget *>(name)) {
        if (widget->property("index").toInt() == index ||
            (index < 0 && !widget->property("index").isValid()))
            found = widget;
    }
    QVERIFY(found);
    const auto px = [](int t) { return qRound(t / 15.0); };
    QCOMPARE(found->geometry(),
             QRect(px(twips.x()), px(twips.y()), px(twips.width()), px(twips.height())));
    QCOMPARE(found->parentWidget(), m_form->centralWidget());
}

void TestForm1::keypadFacesAndTabOrder()
{
    const QList<QPushButton *> zeros = m_form->findChildren<QPushButton *>(QStringLiteral("Cmd0"));
    QCOMPARE(zeros.size(), 3);
    for (const QPushButton *key :
         m_form->centralWidget()->findChildren<QPushButton *>(Qt::FindDirectChildrenOnly)) {
        QVERIFY(key->text().isEmpty());
        QVERIFY2(!key->icon().isNull(), qPrintable(key->objectName()));
        QCOMPARE(key->icon().pixmap(QSize(39, 21)).size(), QSize(39, 21));
    }

    // Tab walks the controls that take focus in the designed order, then starts over at 1.
    QMap<int, QString> designedOrder;
    for (const DesignedControl &control : kDesigned) {
        if (control.takesFocus)
            designedOrder.insert(control.tabIndex,
                                 controlLabel(QString::fromLatin1(control.name), control.index));
    }
    const QStringList expected = designedOrder.values() << designedOrder.first();
    // The alarm's acknowledge button, in the status area, joins the walk only while shown.
    for (QWidget *widget :
         m_form->centralWidget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        const bool designedToTakeFocus = designedOrder.values().contains(controlLabel(widget));
        QCOMPARE(widget->focusPolicy() != Qt::NoFocus, designedToTakeFocus);
    }

    m_form->show();
    QVERIFY(QTest::qWaitForWindowActive(m_form));
    QStringList order{controlLabel(QApplication::focusWidget())};
    while (order.size() < expected.size()) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << controlLabel(QApplication::focusWidget());
    }
    QCOMPARE(order, expected);
}

// What Qt's accessibility interface hands a screen reader: a name for every key, box and
// clock number, and a description where the name alone does not say what it does.
void TestForm1::screenReaderTexts()
{
    const auto spoken = [](QWidget *widget, QAccessible::Text text) {
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
        return accessible ? accessible->text(text) : QStringLiteral("<none>");
    };
    QStringList unnamed;
    for (QWidget *widget : m_form->centralWidget()->findChildren<QWidget *>()) {
        if (qobject_cast<QPushButton *>(widget) || qobject_cast<QLineEdit *>(widget)) {
            if (spoken(widget, QAccessible::Name).isEmpty() ||
                spoken(widget, QAccessible::Description).isEmpty())
                unnamed << controlLabel(widget);
        }
    }
    QCOMPARE(unnamed, QStringList());

    QPushButton *up = nullptr;
    for (QPushButton *key : m_form->findChildren<QPushButton *>(QStringLiteral("Cmd0")))
        up = key->property("index").toInt() == 0 ? key : up;
    QCOMPARE(spoken(up, QAccessible::Name), QStringLiteral("▲ 输入 0"));
    QCOMPARE(spoken(child<QPushButton>("Cmdl"), QAccessible::Name), QStringLiteral("L 流量输入"));
    QCOMPARE(spoken(child<QLineEdit>("pnow"), QAccessible::Name), QStringLiteral("当前压力, MPa"));
    QCOMPARE(spoken(child<QLineEdit>("pnow"), QAccessible::Description),
             QStringLiteral("尚无读数"));
    QCOMPARE(spoken(child<QLabel>("lsed"), QAccessible::Name), QStringLiteral("定时运行已用秒"));

    // The trend tells its scale and latest reading once one has come.
    m_form->serialControl()->setPortMap({{1, m_pty.slavePath()}});
    m_boxes->answers << "1";
    choose("Communication");
    QVERIFY(m_pty.writeAll("Q00N01.5Y"));
    QTRY_COMPARE(child<QLineEdit>("pnow")->text(), QStringLiteral("01.5"));
    const QString trend = spoken(child<PlotArea>("Picture1"), QAccessible::Description);
    QVERIFY2(trend.contains(QStringLiteral("01.5")) && trend.contains(QStringLiteral("MPa")),
             qPrintable(trend));
}

// F10 opens the first enabled menu and Escape closes it; Shift+F10 and the Menu key open the
// pop-up menu once it is enabled; the focused control has a ring that stands out on the blue.
void TestForm1::keyboardReachesMenusAndShowsFocus()
{
    m_form->serialControl()->setPortMap({{1, m_pty.slavePath()}});
    m_boxes->answers << "1";
    choose("Communication");
    m_form->show();
    QVERIFY(QTest::qWaitForWindowActive(m_form));
    QWidget *ring = m_form->findChild<QWidget *>(QStringLiteral("focusRing"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QWidget *focused = QApplication::focusWidget();
    QTRY_VERIFY(ring->isVisible());
    QVERIFY(ring->geometry().contains(focused->geometry()));
    QVERIFY(ring->geometry() != focused->geometry());

    QTest::keyClick(focused, Qt::Key_F10);
    QTRY_COMPARE(QApplication::activePopupWidget(), child<QMenu>("file"));
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
    QTRY_VERIFY(!QApplication::activePopupWidget());

    for (const QKeyCombination keys : {Qt::SHIFT | Qt::Key_F10, QKeyCombination(Qt::Key_Menu)}) {
        QTest::keyClick(QApplication::focusWidget(), keys.key(), keys.keyboardModifiers());
        QTRY_COMPARE(QApplication::activePopupWidget(), child<QMenu>("rightkey"));
        QApplication::activePopupWidget()->close();
    }
}

void TestForm1::placeOnScreen_data()
{
    // The window as designed, 727 x 524 at (135, 120), on screens of several sizes.
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QPoint>("place");
    QTest::newRow("fits: as designed") << QRect(0, 0, 1920, 1200) << QPoint(135, 120);
    QTest::newRow("below a top panel that leaves room")
        << QRect(0, 32, 1920, 1168) << QPoint(135, 120);
    QTest::newRow("too low: moved up") << QRect(0, 0, 1024, 600) << QPoint(135, 76);
    QTest::newRow("too far right: moved left") << QRect(0, 0, 800, 700) << QPoint(73, 120);
    QTest::newRow("second screen to the right") << QRect(1920, 0, 1280, 1024) << QPoint(1920, 120);
    QTest::newRow("smaller than the window: top left") << QRect(10, 20, 640, 480) << QPoint(10, 20);
}

void TestForm1::placeOnScreen()
{
    QFETCH(QRect, available);
    QFETCH(QPoint, place);
    const QRect designed(135, 120, 727, 524);
    QCOMPARE(Form1Layout::placeOnScreen(designed, available), QRect(place, designed.size()));
}

void TestForm1::enlargingMovesNothing()
{
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    // The surface at its designed place on the screen, the menu bar above it.
    QCOMPARE(m_form->centralWidget()->mapToGlobal(QPoint(0, 0)), QPoint(135, 141));
    QCOMPARE(m_form->centralWidget()->size(), QSize(727, 502));
    const QRect pnow = child<QLineEdit>("pnow")->geometry();
    const QRect plot = child<PlotArea>("Picture1")->geometry();
    m_form->resize(1000, 800);
    QTRY_COMPARE(m_form->centralWidget()->width(), 1000);
    QCOMPARE(child<QLineEdit>("pnow")->geometry(), pnow);
    QCOMPARE(child<PlotArea>("Picture1")->geometry(), plot);
    // The picture, read only as far as it was shown at first, now shows beyond that.
    const QRect uncovered(727, 502, 60, 60);
    QCOMPARE(
        m_form->centralWidget()->grab(uncovered).toImage().convertToFormat(QImage::Format_RGB32),
        QImage(QStringLiteral(":/artwork/background.jpg")).copy(uncovered));
}

// Run at scales 1, 2 and 3 (see CMakeLists.txt): each picture is shown pixel for pixel.
void TestForm1::artworkSharpAtScale()
{
    const auto variant = [](QString path, int n) {
        return QImage(n == 1 ? path : path.insert(path.size() - 4, QStringLiteral("@%1x").arg(n)));
    };
    for (const Form1Layout::Control &control : Form1Layout::controls()) {
        const QLatin1String picture(control.face ? control.face : ":/artwork/background.jpg");
        for (int n : {2, 3})
            QCOMPARE(variant(picture, n).size(), variant(picture, 1).size() * n);
    }
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    const int ratio = qRound(m_form->devicePixelRatio());
    for (const QPushButton *key :
         m_form->centralWidget()->findChildren<QPushButton *>(Qt::FindDirectChildrenOnly))
        QCOMPARE(key->icon().pixmap(key->iconSize(), ratio).size(), key->iconSize() * ratio);
    // The badge's upper half: between the clock row and the status area, left of every control.
    const QRect bare(0, 26, 440, 120);
    QCOMPARE(m_form->centralWidget()->grab(bare).toImage().convertToFormat(QImage::Format_RGB32),
             variant(QStringLiteral(":/artwork/background.jpg"), ratio)
                 .copy(QRect(bare.topLeft() * ratio, bare.size() * ratio)));
}

void TestForm1::valuesFitTheirBoxes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("pnow at start-up") << "pnow"
                                      << "00.0";
    QTest::newRow("prset at start-up") << "prset"
                                       << "02.0";
    QTest::newRow("lqset at start-up") << "lqset"
                                       << "0000";
    QTest::newRow("lqset at the flow limit") << "lqset"
                                             << "1000";
}

void TestForm1::valuesFitTheirBoxes()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    // Run once per style: a style Qt cannot find would silently be the default one.
    if (const QString style = qEnvironmentVariable("CORVANE_EXPECT_STYLE"); !style.isEmpty())
        QCOMPARE(QApplication::style()->name(), style.toLower());
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    QLineEdit *box = m_form->findChild<QLineEdit *>(name);
    box->setText(text);
    // Ink is told from the frame by the cyan of a reading; the grey of no reading is as wide.
    QPalette cyanText = box->palette();
    cyanText.setColor(QPalette::Text, QColor(0, 255, 255));
    box->setPalette(cyanText);

    // The same text drawn on its own, with room to spare, shows how wide it is uncut. Both
    // are drawn in device pixels, at the screen's scale.
    const QImage inBox = box->grab().toImage();
    const qreal scale = inBox.devicePixelRatio();
    QImage alone(QSize(200, 40) * scale, QImage::Format_RGB32);
    alone.setDevicePixelRatio(scale);
    alone.fill(box->palette().color(QPalette::Base));
    QPainter painter(&alone);
    painter.setFont(box->font());
    painter.setPen(box->palette().color(QPalette::Text));
    painter.drawText(QPoint(50, 30), text);
    painter.end();
    const auto [aloneFirst, aloneLast] = inkColumns(alone);
    QVERIFY(aloneFirst >= 0);

    // In the box it keeps that width, clear of the frame on both sides.
    const auto [first, last] = inkColumns(inBox);
    const int frame =
        qCeil(box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, box) * scale);
    QVERIFY2(first >= frame && last < inBox.width() - frame,
             qPrintable(QStringLiteral("ink in columns %1..%2").arg(first).arg(last)));
    QVERIFY2(qAbs((last - first) - (aloneLast - aloneFirst)) <= qCeil(scale),
             qPrintable(QStringLiteral("%1 columns of ink in the box, %2 on its own")
                            .arg(last - first + 1)
                            .arg(aloneLast - aloneFirst + 1)));
}

void TestForm1::communicationOpensPort_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("port");
    QTest::newRow("default") << "1" << 1;
    QTest::newRow("2.5 is port 2") << "2.5" << 2;
    QTest::newRow("3.5 is port 4") << "3.5" << 4;
    QTest::newRow("blanks") << " 4 " << 4;
}

void TestForm1::communicationOpensPort()
{
    QFETCH(QString, answer);
    QFETCH(int, port);
    m_form->serialControl()->setPortMap({{port, m_pty.slavePath()}});
    m_boxes->answers << answer;
    choose("Communication");

    QCOMPARE(m_boxes->questions.size(), 1);
    QCOMPARE(m_boxes->questions[0].prompt, QStringLiteral("Input communication port"));
    QCOMPARE(m_boxes->questions[0].title, QStringLiteral("Commport"));
    QCOMPARE(m_boxes->questions[0].defaultAnswer, QStringLiteral("1"));
    QVERIFY(m_boxes->messages.isEmpty());

    SerialControl *serial = m_form->serialControl();
    QVERIFY(serial->portOpen());
    QCOMPARE(serial->commPort(), port);
    QCOMPARE(serial->settings(), QStringLiteral("9600,n,8,1"));
    QCOMPARE(serial->inputLen(), 0);
    QCOMPARE(serial->rThreshold(), 9);
    QVERIFY(linkMenusEnabled(true));
    QVERIFY(child<QTimer>("Timer2")->isActive());
    QVERIFY(!child<QTimer>("Timer1")->isActive());
    // The first poll waits for a full interval.
    QCOMPARE(m_pty.readAvailable(), QByteArray());
}

void TestForm1::badAnswersKeepPanelClosed_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("messages");
    QTest::newRow("cancelled") << "" << QString() << 0;
    QTest::newRow("not a number") << "abc" << QString() << 1;
    QTest::newRow("no such device") << "1"
                                    << "/dev/corvane-no-such-port" << 1;
}

void TestForm1::badAnswersKeepPanelClosed()
{
    QFETCH(QString, answer);
    QFETCH(QString, device);
    QFETCH(int, messages);
    if (!device.isEmpty())
        m_form->serialControl()->setPortMap({{1, device}});
    m_boxes->answers << answer;
    choose("Communication");

    QCOMPARE(m_boxes->messages.size(), messages);
    if (messages) {
        QCOMPARE(m_boxes->messages[0].title, QStringLiteral("通信"));
        if (!device.isEmpty())
            QVERIFY2(m_boxes->messages[0].prompt.contains(device),
                     qPrintable(m_boxes->messages[0].prompt));
    }
    QVERIFY(!m_form->serialControl()->portOpen());
    QVERIFY(linkMenusEnabled(false));
    QVERIFY(!child<QTimer>("Timer2")->isActive());
}

// A device typed by its path opens; the next 通信 box offers it first in its list and still
// "1" as its answer.
void TestForm1::communicationTakesDevicePath()
{
    m_boxes->answers << m_pty.slavePath() + QStringLiteral("  typed as the list shows it");
    choose("Communication");
    QVERIFY(m_boxes->messages.isEmpty());
    QVERIFY(m_form->serialControl()->portOpen());
    QCOMPARE(m_form->serialControl()->openDevice(), m_pty.slavePath());

    m_boxes->answers << QString(); // cancelled: the port stays open
    choose("Communication");
    QCOMPARE(m_boxes->questions[1].defaultAnswer, QStringLiteral("1"));
    QCOMPARE(m_boxes->questions[1].choices.value(0), m_pty.slavePath());
    QVERIFY(m_form->serialControl()->portOpen());
}

void TestForm1::secondCommunicationSwitchesOrKeepsPort()
{
    PseudoTerminal second;
    QVERIFY(second.open());
    SerialControl *serial = m_form->serialControl();
    serial->setPortMap({{1, m_pty.slavePath()},
                        {2, second.slavePath()},
                        {3, QStringLiteral("/dev/corvane-no-such-port")}});
    m_boxes->answers << "1"
                     << "3"
                     << "2";
    choose("Communication");
    QVERIFY(serial->portOpen());

    choose("Communication"); // port 3 does not open: port 1 stays in use
    QCOMPARE(m_boxes->messages.size(), 1);
    QVERIFY(m_boxes->messages[0].prompt.contains(m_pty.slavePath()));
    QCOMPARE(serial->openDevice(), m_pty.slavePath());
    QCOMPARE(serial->commPort(), 1);
    QVERIFY(linkMenusEnabled(true));
    choose("run");
    QCOMPARE(m_pty.readExactly(9, 1000), QByteArray("Q00R0000Y"));

    choose("Communication"); // port 2 opens and takes over
    QCOMPARE(m_boxes->messages.size(), 1);
    QCOMPARE(serial->openDevice(), second.slavePath());
    choose("stop");
    QCOMPARE(second.readExactly(9, 1000), QByteArray("Q00S0000Y"));
    QCOMPARE(m_pty.readAvailable(), QByteArray());
}

void TestForm1::frameWhileClosedIsNotSent()
{
    QTest::mouseClick(child<QPushButton>("Cmdr"), Qt::LeftButton);
    QCOMPARE(m_boxes->messages.size(), 1);
    QVERIFY(m_boxes->messages[0].prompt.contains(QStringLiteral("Q00R0000Y")));
    QVERIFY(m_boxes->messages[0].prompt.contains(QStringLiteral("未发送")));
    QVERIFY(!m_form->serialControl()->portOpen());
}

void TestForm1::hangUpIsToldAndLineReopensByItself()
{
    // The adapter as udev names it: a symlink that moves to the device's new node.
    QTemporaryDir folder;
    const QString link = folder.filePath(QStringLiteral("by-id-pump"));
    QVERIFY(m_pty.makeSymlink(link));
    m_form->serialControl()->setPortMap({{7, link}});
    m_boxes->answers << "7";
    choose("Communication");
    QVERIFY(m_form->serialControl()->portOpen());
    QLabel *linkState = child<QLabel>("linkState");
    QVERIFY(linkState->isHidden());

    m_pty.hangUp();
    QTRY_VERIFY(!m_form->serialControl()->portOpen());
    // Said in the status area, by port number and device and in Chinese; no box.
    QTRY_VERIFY(!linkState->isHidden());
    QString said = linkState->text();
    QVERIFY2(said.contains(link), qPrintable(said));
    said.remove(link);
    QVERIFY2(said.contains(u'7') && said.contains(QStringLiteral("断开")), qPrintable(said));
    // The menus stay usable: save, print, 退出 and 定时(T) do not need the line.
    QVERIFY(linkMenusEnabled(true));
    QVERIFY(!child<QTimer>("Timer2")->isActive());
    QVERIFY(m_form->session()->readingIsStale());
    QTest::qWait(300);
    QCOMPARE(m_boxes->messages.size(), 0);

    // Something that is no serial device at the adapter's name is not opened; the status says
    // why and the panel waits on.
    QVERIFY(QFile::remove(link));
    QFile notADevice(link);
    QVERIFY(notADevice.open(QIODevice::WriteOnly));
    notADevice.close();
    QTRY_VERIFY_WITH_TIMEOUT(linkState->text().contains(QStringLiteral("不是串口设备")), 3000);
    QVERIFY(!m_form->serialControl()->portOpen());
    QVERIFY(QFile::remove(link));

    // The device comes back on another node; the panel finds it by itself.
    QVERIFY(m_pty.open());
    QVERIFY(m_pty.makeSymlink(link));
    QTRY_VERIFY_WITH_TIMEOUT(m_form->serialControl()->portOpen(), 3000);
    QCOMPARE(m_form->serialControl()->canonicalDevice(), m_pty.slavePath());
    QVERIFY(child<QTimer>("Timer2")->isActive());
    QVERIFY2(linkState->text().contains(QStringLiteral("恢复")), qPrintable(linkState->text()));
    QCOMPARE(m_boxes->messages.size(), 0);
}

void TestForm1::realDialogsOpenThePort()
{
    // Through the real input and message boxes, answered as an operator would. Each box runs
    // its own event loop, so one timer answers whichever box is up, however late it shows.
    Form1 form;
    form.serialControl()->setPortMap(
        {{1, m_pty.slavePath()}, {9, QStringLiteral("/dev/corvane-no-such-port")}});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QStringList answers;      // for the next input boxes, in order
    QStringList inputsSeen;   // title|offered text of each input box
    QStringList messagesSeen; // text of each message box
    QTimer answerer;
    connect(&answerer, &QTimer::timeout, this, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *dialog = qobject_cast<QInputDialog *>(modal)) {
            inputsSeen << dialog->windowTitle() + u'|' + dialog->textValue();
            dialog->setTextValue(answers.isEmpty() ? QString() : answers.takeFirst());
            dialog->accept();
        } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            if (box->icon() != QMessageBox::NoIcon || box->buttons().size() != 1)
                messagesSeen << QStringLiteral("<unexpected box>");
            messagesSeen << box->text();
            box->accept();
        }
    });
    answerer.start(50);
    QAction *communication = form.findChild<QAction *>(QStringLiteral("Communication"));

    answers << QStringLiteral("9");
    communication->trigger();
    QCOMPARE(inputsSeen, QStringList{"Commport|1"});
    QCOMPARE(messagesSeen.size(), 1);
    QVERIFY2(messagesSeen[0].contains(QStringLiteral("/dev/corvane-no-such-port")),
             qPrintable(messagesSeen[0]));
    QVERIFY(!form.serialControl()->portOpen());

    answers << QStringLiteral("1");
    communication->trigger();
    QCOMPARE(inputsSeen.size(), 2);
    QCOMPARE(inputsSeen[1], QStringLiteral("Commport|1"));
    QVERIFY(form.serialControl()->portOpen());
    QCOMPARE(messagesSeen.size(), 1);

    // Pulling the line while open: no box; the panel goes on running, closed, with its menus
    // still usable.
    m_pty.hangUp();
    QTRY_VERIFY(!form.serialControl()->portOpen());
    QTest::qWait(200);
    QCOMPARE(messagesSeen.size(), 1);
    QVERIFY(form.findChild<QMenu *>(QStringLiteral("Pump"))->isEnabled());
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
