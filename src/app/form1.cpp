// SPDX-License-Identifier: GPL-3.0-or-later
#include "form1.h"

#include "arrivalspeech.h"
#include "batchbox.h"
#include "commandbox.h"
#include "common/plaintext.h"
#include "common/twips.h"
#include "common/wholetext.h"
#include "confirmbox.h"
#include "console/consoleview.h"
#include "console/framebatcher.h"
#include "engine/batchrun.h"
#include "engine/families/familysequence.h"
#include "engine/guardedcommands.h"
#include "engine/lineendwatch.h"
#include "engine/modulefinder.h"
#include "engine/pairing.h"
#include "engine/panelorigin.h"
#include "engine/sequencerunner.h"
#include "engine/stepwatch.h"
#include "engine/update.h"
#include "engine/updateguard.h"
#include "messagebox.h"
#include "noticebox.h"
#include "noticekeys.h"
#include "panel/panelmenu.h"
#include "panel/settingsfile.h"
#include "panel/settingspanel.h"
#include "portlabel.h"
#include "preferences.h"
#include "serial/portsearch.h"
#include "serial/portwatch.h"
#include "serial/serialport.h"
#include "spoken.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QIcon>
#include <QInputDialog>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QScrollArea>
#include <QStandardPaths>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <functional>
#include <utility>

namespace {

// A rate typed in the baud list: digits only, within the rates a line can have. One left
// unfinished ("", "0", "12") gives way to the port's own rate on Enter or when the operator
// leaves the list, so that the list never shows a rate the port does not run at.
class RateValidator : public QIntValidator
{
public:
    RateValidator(std::function<QString()> portRate, QObject *parent)
        : QIntValidator(LowestBaudRate, HighestBaudRate, parent)
        , m_portRate(std::move(portRate))
    {
        QLocale digits = QLocale::c(); // "1,200" would read as two fields of the line
        digits.setNumberOptions(QLocale::RejectGroupSeparator);
        setLocale(digits);
    }
    void fixup(QString &input) const override { input = m_portRate(); }

private:
    std::function<QString()> m_portRate;
};

// The design's client area, in twips: the window's default and smallest size but for its
// menu.
constexpr int ClientWidth = 9345;
constexpr int ClientHeight = 8220;
// The share of extra width that the console takes; the panel moves right by as much, and
// the command box under it takes the rest.
constexpr double ConsoleShare = 0.5;

// How a control follows a window larger than its design: the shares of the extra width it
// moves right by and grows by, and the same of the extra height. The console and the
// command box take the room; the panel keeps its rows and moves with the console's edge.
struct Follow
{
    double moveX, growX, moveY, growY;
};
constexpr Follow Stays { 0, 0, 0, 0 };
constexpr Follow WithPanel { ConsoleShare, 0, 0, 0 };
constexpr Follow Console { 0, ConsoleShare, 0, 1 };
constexpr Follow UnderConsole { 0, ConsoleShare, 1, 0 };
constexpr Follow StatusLine { 0, 0, 1, 0 };
constexpr Follow CommandBoxFollow { ConsoleShare, 1 - ConsoleShare, 0, 1 };
constexpr Follow UnderCommandBox { ConsoleShare, 1 - ConsoleShare, 1, 0 };

// Every control outside the settings panel: name, caption, place in twips, and how it
// follows a larger window. Controls without a caption carry an accessible name instead.
struct ControlPlace
{
    const char *name;
    const char *caption;
    int left, top, width, height;
    Follow follow;
};

const std::array<ControlPlace, 15> ControlTable = { {
    { "MenuButton", QT_TRANSLATE_NOOP("Form1", "菜单"), 30, 210, 255, 435, Stays },
    { "Command4", QT_TRANSLATE_NOOP("Form1", "搜索端口"), 315, 210, 1170, 435, Stays },
    { "Label5", QT_TRANSLATE_NOOP("Form1", "波特率："), 1575, 405, 750, 330, Stays },
    { "Combo1", QT_TRANSLATE_NOOP("Form1", "波特率"), 2310, 315, 1170, 300, Stays },
    { "Label4", "", 3675, 405, 1590, 330, Stays },
    { "Command1", QT_TRANSLATE_NOOP("Form1", "获取模块信息"), 5145, 210, 1275, 435, WithPanel },
    { "Command2", QT_TRANSLATE_NOOP("Form1", "更新模块信息"), 6510, 210, 1275, 435, WithPanel },
    { "Command6", QT_TRANSLATE_NOOP("Form1", "清除表格数据"), 7875, 210, 1275, 435, WithPanel },
    { "RichTextBox1", QT_TRANSLATE_NOOP("Form1", "通讯记录"), 210, 840, 4785, 6210, Console },
    { "Label1", "", 210, 7140, 1455, 375, StatusLine },
    { "Label2", "", 1785, 7140, 1575, 375, StatusLine },
    { "Label3", "", 3465, 7140, 1575, 375, StatusLine },
    { "Command3", QT_TRANSLATE_NOOP("Form1", "清 空 显 示"), 210, 7560, 4785, 510, UnderConsole },
    { "Text2", QT_TRANSLATE_NOOP("Form1", "命令输入"), 5145, 6405, 4005, 1065, CommandBoxFollow },
    { "Command5", QT_TRANSLATE_NOOP("Form1", "发 送 命 令"), 5145, 7560, 4050, 510,
      UnderCommandBox },
} };

constexpr int TickMilliseconds = 10;
// Smaller than this, the window's controls scroll rather than shrink.
constexpr QSize SmallestWindow(320, 200);
const QString GeometryKey = QStringLiteral("Window/geometry");

// A caption spread with a space between each two characters ("清 空 显 示"), closed up for
// a screen reader, which would spell it; the spaces between words stay.
QString WithoutLetterSpacing(QString caption)
{
    for (qsizetype i = caption.size() - 2; i > 0; --i) {
        if (caption.at(i) == QLatin1Char(' ') && caption.at(i - 1).unicode() > 0x7F
            && caption.at(i + 1).unicode() > 0x7F)
            caption.remove(i, 1);
    }
    return caption;
}

QRect DesignPlace(const ControlPlace &place)
{
    return FromTwips(place.left, place.top, place.width, place.height);
}

// Where the control goes in a client `extra` larger than the design. Its edges move, so
// that controls side by side stay so, to the pixel.
QRect PlaceIn(const ControlPlace &place, QSize extra)
{
    const Follow &f = place.follow;
    const QRect design = DesignPlace(place);
    const auto by = [](double part, int of) { return int(part * of); };
    const int left = design.left() + by(f.moveX, extra.width());
    const int top = design.top() + by(f.moveY, extra.height());
    const int right = design.right() + by(f.moveX + f.growX, extra.width());
    const int bottom = design.bottom() + by(f.moveY + f.growY, extra.height());
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

QSize DesignSize()
{
    return FromTwips(0, 0, ClientWidth, ClientHeight).size();
}

const ControlPlace &Place(const char *name)
{
    for (const ControlPlace &place : ControlTable) {
        if (qstrcmp(place.name, name) == 0)
            return place;
    }
    Q_UNREACHABLE();
}

// Creates a control of the table, placed and named; the caption goes to the
// control's text where it has one, else to its accessible name.
template<typename Widget> Widget *MakeControl(const char *name, QWidget *parent)
{
    const ControlPlace &place = Place(name);
    auto *widget = new Widget(parent);
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(DesignPlace(place));
    const QString caption
        = *place.caption ? QCoreApplication::translate("Form1", place.caption) : QString();
    if constexpr (std::is_same_v<Widget, QPushButton> || std::is_same_v<Widget, QLabel>) {
        widget->setText(caption);
        FitCaption(widget);
    } else
        widget->setAccessibleName(caption);
    if constexpr (std::is_same_v<Widget, QPushButton>) {
        // Enter presses the focused button, as Space does; the window has no default button.
        widget->setAutoDefault(true);
        // The spaces only spread a caption on screen; a screen reader would spell it.
        widget->setAccessibleName(WithoutLetterSpacing(caption));
    }
    return widget;
}

void DrawInBlack(QWidget *widget)
{
    QPalette palette = widget->palette();
    for (QPalette::ColorRole role : { QPalette::WindowText, QPalette::Text, QPalette::ButtonText })
        palette.setColor(role, Qt::black);
    widget->setPalette(palette);
}

} // namespace

// The engine's console: every append goes to the frame batcher.
class ConsoleFeed : public ConsoleSink
{
public:
    explicit ConsoleFeed(FrameBatcher &batcher)
        : m_batcher(batcher)
    { }
    void AppendToConsole(const QString &text, QColor colour, const QByteArray &bytes) override
    {
        m_batcher.Append(text, colour.rgb(), bytes);
    }

private:
    FrameBatcher &m_batcher;
};

// A notice that holds its news while `quiet` says so: a batch's verdict says what each
// module's sequences came to.
class QuietWhile : public Notice
{
public:
    QuietWhile(Notice &notice, std::function<bool()> quiet)
        : m_notice(notice)
        , m_quiet(std::move(quiet))
    { }
    void Show(const NoticeContent &content) override
    {
        if (!m_quiet())
            m_notice.Show(content);
    }
    void Close() override { m_notice.Close(); }
    bool IsShown() const override { return m_notice.IsShown(); }

private:
    Notice &m_notice;
    std::function<bool()> m_quiet;
};

Form1::Form1(QWidget *parent)
    : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Tarvenit"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/tarvenit.png")));
    // The client, where every control has its place of the design; on a screen smaller than
    // the design it scrolls, so that every control can still be reached.
    m_client = new QWidget;
    m_client->setObjectName(QStringLiteral("Client"));
    m_client->setMinimumSize(DesignSize());
    m_client->installEventFilter(this);
    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("ClientScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(m_client);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(scroll);
    setMinimumSize(SmallestWindow);

    CreateControls();

    m_batcher = std::make_unique<FrameBatcher>(RichTextBox1);
    m_feed = std::make_unique<ConsoleFeed>(*m_batcher);
    m_messageBox = std::make_unique<MessageBoxWarning>(this);
    m_warning = m_messageBox.get();
    // The query fills the panel through its origin, which notes what the module answered.
    m_origin = std::make_unique<PanelOrigin>(m_state, *m_panel);
    m_engine = std::make_unique<CommandEngine>(m_state, *Uart1, *m_feed, *m_origin, *m_warning);
    m_sharedNotice = std::make_unique<NoticeBox>(this);
    m_watch = std::make_unique<PortWatch>(
        *Uart1, m_state.LastPortTried, [this] { return Combo1->currentText(); },
        std::bind_front(&Form1::AnnouncePortStatus, this), *m_sharedNotice);

    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &Form1::Command5_Click);
    connect(Text2, &CommandBox::sendRequested, Command5, &QPushButton::click);
    connect(Command6, &QPushButton::clicked, this, &Form1::Command6_Click);
    // A rate chosen from the list applies at once; one being typed when the operator presses
    // Enter or leaves the list, not at each digit (1, 12, 120 baud on the way to 1200).
    connect(Combo1, &QComboBox::currentTextChanged, this, [this](const QString &text) {
        // An unfinished rate replaced by the port's own: nothing to set.
        if (text == std::exchange(m_rateRestored, QString()) || Combo1->lineEdit()->isModified())
            return;
        Combo1_Click();
    });
    connect(Combo1->lineEdit(), &QLineEdit::editingFinished, this, [this] {
        if (!Combo1->lineEdit()->isModified())
            return;
        Combo1->lineEdit()->setModified(false);
        Combo1_Click();
    });
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    connect(Uart1, &SerialPort::commEvent, this, &Form1::Uart1_OnComm);
    connect(Uart1, &SerialPort::deviceLost, this, &Form1::Uart1_DeviceLost);
    m_statusLater = new QTimer(this);
    m_statusLater->setSingleShot(true);
    connect(m_statusLater, &QTimer::timeout, this, &Form1::RichTextBox1_SelChange);
    connect(RichTextBox1, &::ConsoleView::cursorPositionChanged, this,
            &Form1::RichTextBox1_SelChange);
    connect(RichTextBox1, &::ConsoleView::selectionChanged, this, &Form1::RichTextBox1_SelChange);
    // Held, the caret stays while the line count goes on.
    connect(RichTextBox1, &::ConsoleView::textChanged, this, &Form1::RichTextBox1_SelChange);
    connect(RichTextBox1, &::ConsoleView::saveFailed, this,
            [this](const QString &path, const QString &reason) {
                ShowFileFault(*m_warning, SaveFailedText(), path, reason);
            });
    connect(RichTextBox1, &::ConsoleView::logFailed, this,
            [this](const QString &path, const QString &reason) {
                ShowFileFault(*m_warning, tr("记录到文件失败，记录已停止！"), path, reason);
            });
    // The console's record tells what came in from what went out, and where a port opened,
    // after what was on its way to the console.
    RichTextBox1->SetReceivedColour(ColourReceived);
    RichTextBox1->KeepChoicesIn([] { return std::make_unique<Preferences>(); });
    connect(Uart1, &SerialPort::opened, this, [this] {
        m_batcher->Flush();
        RichTextBox1->NotePortOpened(Uart1->PortNumber(), ShortDeviceName(Uart1->Device()),
                                     Uart1->BaudRate());
    });
    m_arrivals
        = std::make_unique<ArrivalSpeech>([this](const QString &text) { m_announcer->Say(text); },
                                          [this] { return RichTextBox1->hasFocus(); });
    WatchTheModule();
    KeepTrackOfThePanel();
    WatchTheBatch();
    // Over the console, a notice hides no field.
    for (NoticeBox *notice : AllNotices())
        notice->SetFreeArea(RichTextBox1);
    m_noticeKeys = std::make_unique<NoticeKeys>(
        this, QList<QAbstractButton *> { Command1, Command2 }, [this] { return NoticeUp(); },
        [this] { DismissNotices(); });

    CreateMenus();

    Form_Load();

    resize(DesignSize());
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    restoreGeometry(Preferences().value(GeometryKey).toByteArray());
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_client && event->type() == QEvent::Resize)
        LayOut();
    return QWidget::eventFilter(watched, event);
}

void Form1::LayOut()
{
    const QSize extra = (m_client->size() - DesignSize()).expandedTo(QSize(0, 0));
    for (const ControlPlace &place : ControlTable) {
        if (auto *control
            = m_client->findChild<QWidget *>(QLatin1String(place.name), Qt::FindDirectChildrenOnly))
            control->setGeometry(PlaceIn(place, extra));
    }
    m_panel->SetShift(int(ConsoleShare * extra.width()));
}

void Form1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    // Kept from the last run, or a screen larger than this one's: the whole frame, its title
    // bar too, within the screen's available area.
    const QScreen *screen = this->screen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    // The frame's sides: under X11 the desktop frames the window only after it is shown, so
    // room for a title bar and borders is kept all the same, or the title bar would lie
    // above the screen.
    QMargins frame(geometry().left() - frameGeometry().left(),
                   geometry().top() - frameGeometry().top(),
                   frameGeometry().right() - geometry().right(),
                   frameGeometry().bottom() - geometry().bottom());
    if (frame.isNull() && QGuiApplication::platformName() == QLatin1String("xcb")) {
        const int border = 4;
        frame = QMargins(border,
                         style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this) + border,
                         border, border);
    }
    const QSize fitted = size().boundedTo(available.marginsRemoved(frame).size());
    const QRect outer = QRect(geometry().topLeft(), fitted).marginsAdded(frame);
    const QPoint at(
        std::clamp(outer.x(), available.left(), available.right() + 1 - outer.width()),
        std::clamp(outer.y(), available.top(), available.bottom() + 1 - outer.height()));
    const QRect placed = QRect(at, outer.size()).marginsRemoved(frame);
    if (placed != geometry())
        setGeometry(placed);
}

Form1::~Form1()
{
    Timer1->stop();
    m_watch->Stop();
    // The port's last notifications must not reach an engine that is going away.
    Uart1->disconnect(this);
    RichTextBox1->disconnect(this);
    // A rate still being typed is not set as the window goes (its field loses the focus).
    Combo1->lineEdit()->disconnect(this);
    Combo1->disconnect(this);
}

void Form1::closeEvent(QCloseEvent *event)
{
    // The program ends with the window: nothing more goes out or speaks up (a tick would
    // find the port closed and warn), and the device goes back with its settings restored.
    m_watch->Stop();
    StopSearches();
    m_engine->Stop(); // its mode watcher stops the timer
    for (NoticeBox *notice : AllNotices())
        notice->Close();
    Uart1->Close();
    Preferences().setValue(GeometryKey, saveGeometry());
    QWidget::closeEvent(event);
}

void Form1::keyPressEvent(QKeyEvent *event)
{
    // Scroll Lock holds the console wherever the keyboard is; no other control takes it.
    if (event->key() == Qt::Key_ScrollLock) {
        RichTextBox1->SetHeld(!RichTextBox1->Held());
        return;
    }
    QWidget::keyPressEvent(event);
}

void Form1::CreateControls()
{
    QWidget *client = m_client;
    MenuButton = MakeControl<QToolButton>("MenuButton", client);
    Command4 = MakeControl<QPushButton>("Command4", client);
    Label5 = MakeControl<QLabel>("Label5", client);
    Combo1 = MakeControl<QComboBox>("Combo1", client);
    // Any rate may be typed; it stays out of the list, which holds the modules' own rates.
    // The field is made here, next to the list in the focus chain: made once every control
    // is there, it breaks the Tab order. No completion: it would fill in "1200" at the
    // first "1" and set it.
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->setCompleter(nullptr);
    Combo1->setValidator(new RateValidator(
        [this] { return m_rateRestored = QString::number(Uart1->BaudRate()); }, Combo1));
    Label4 = MakeControl<PortLabel>("Label4", client);
    // The label's right end lies under 获取模块信息: its text keeps to the part that shows.
    Label4->setContentsMargins(
        0, 0, DesignPlace(Place("Label4")).right() - DesignPlace(Place("Command1")).left() + 1, 0);
    Command1 = MakeControl<QPushButton>("Command1", client);
    Command2 = MakeControl<QPushButton>("Command2", client);
    Command6 = MakeControl<QPushButton>("Command6", client);
    RichTextBox1 = MakeControl<::ConsoleView>("RichTextBox1", client);
    Label1 = MakeControl<QLabel>("Label1", client);
    Label2 = MakeControl<QLabel>("Label2", client);
    Label3 = MakeControl<QLabel>("Label3", client);
    Command3 = MakeControl<QPushButton>("Command3", client);
    Text2 = MakeControl<CommandBox>("Text2", client);
    Command5 = MakeControl<QPushButton>("Command5", client);
    m_panel = std::make_unique<SettingsPanel>(client);

    for (QWidget *widget : { static_cast<QWidget *>(Label4), static_cast<QWidget *>(Label5),
                             static_cast<QWidget *>(Combo1) })
        DrawInBlack(widget);
    // A screen reader reads the list with its label: "波特率： 38400".
    Label5->setBuddy(Combo1);

    // What a send adds, where the send button is: its tooltip, and for a screen reader.
    const auto showChoices = [this](const QString &text) {
        Command5->setToolTip(text);
        Command5->setAccessibleDescription(text);
    };
    showChoices(Text2->ChoicesText());
    connect(Text2, &CommandBox::choicesShown, Command5, showChoices);
    Text2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text2->setTabChangesFocus(true);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(TickMilliseconds);
    Timer1->setTimerType(Qt::PreciseTimer);

    m_announcer = new Announcer(this);

    Uart1 = new SerialPort(this);
    Uart1->setObjectName(QStringLiteral("Uart1"));

    SetTabOrder();
}

void Form1::CreateMenus()
{
    // One visible home for what the context menus hold: the same entries, with their keys.
    // Each menu is filled as it opens, so that its entries are enabled as they apply.
    // The menu button sits in the top row's free corner, so that the design's places stay
    // where they are; F10 opens it from anywhere in the window, as a menu bar's key.
    auto *windowMenu = new QMenu(this);
    MenuButton->setMenu(windowMenu);
    MenuButton->setPopupMode(QToolButton::InstantPopup);
    MenuButton->setArrowType(Qt::DownArrow);
    MenuButton->setFocusPolicy(Qt::NoFocus);
    const QKeySequence key(Qt::Key_F10);
    MenuButton->setToolTip(MenuButton->accessibleName() + QLatin1Char(' ')
                           + key.toString(QKeySequence::NativeText));
    auto *open = new QAction(this);
    open->setShortcut(key);
    connect(open, &QAction::triggered, MenuButton, &QToolButton::showMenu);
    addAction(open);
    const auto add = [windowMenu](const QString &title, std::function<QList<QAction *>()> entries) {
        QMenu *menu = windowMenu->addMenu(title);
        connect(menu, &QMenu::aboutToShow, menu, [menu, entries] {
            menu->clear();
            menu->addActions(entries());
        });
        menu->addActions(entries());
    };
    // The ports there are: from the menu, and from the port label.
    m_portMenu = windowMenu->addMenu(tr("端口(&P)"));
    connect(m_portMenu, &QMenu::aboutToShow, this, &Form1::FillPortMenu);
    connect(Label4, &PortLabel::listRequested, this,
            [this] { m_portMenu->popup(Label4->mapToGlobal(Label4->rect().bottomLeft())); });
    add(tr("通讯记录(&R)"), [this] { return RichTextBox1->MenuActions(); });
    add(tr("命令(&C)"), [this] { return Text2->ToolActions(); });
    add(tr("模块设置(&S)"), [this] { return m_panelMenu->Menu()->actions(); });
    WatchTheSequences(windowMenu->addMenu(tr("序列(&Q)")));
    QAction *batch = windowMenu->addAction(tr("批量配置…"), this, &Form1::AskBatch);
    connect(windowMenu, &QMenu::aboutToShow, batch, [this, batch] {
        batch->setText(m_batch->Running() ? tr("停止批量配置") : tr("批量配置…"));
    });
}

void Form1::SetTabOrder()
{
    QList<QWidget *> order = { RichTextBox1, Command3, Command4, Combo1, Command1, Command2 };
    order += m_panel->TabOrder();
    order += { Text2, Command5, Command6 };
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void Form1::SetWarningBox(WarningBox *warning)
{
    m_warning = warning ? warning : m_messageBox.get();
    m_engine->SetWarningBox(*m_warning);
    m_panelMenu->SetWarningBox(*m_warning);
}

void Form1::SetConfirmBox(ConfirmBox *confirm)
{
    m_confirm = confirm ? confirm : m_messageConfirm.get();
    m_guard->SetConfirmBox(*m_confirm);
    m_familySequence->SetConfirmBox(*m_confirm);
}

void Form1::Form_Load()
{
    UpdateCaretStatus();
    m_state.LastPortTried = 0;
    // Nothing is opened before the operator asks; one adapter there is named, to say
    // where to begin. The label has room for the device's name; the sentence is its tooltip.
    const QList<PortChoice> present = PortChoices();
    if (present.size() == 1) {
        const QString device = ShortDeviceName(present.first().device);
        SetPortStatus(tr("发现 %1").arg(device),
                      tr("发现 1 个端口：%1，点击搜索端口打开").arg(device));
    } else {
        SetPortStatus(tr("端口：未打开"), QString()); // until the first search opens one
    }
    for (int baud : BaudRates)
        Combo1->addItem(QString::number(baud));
    ShowRate(DefaultBaudRate);
    m_state.WorkMode = ModeIdle;
    RichTextBox1->setFocus();
}

void Form1::Command1_Click()
{
    // A running sequence talks to the module: nothing else starts until it ends.
    if (m_sequences->Running()) {
        m_announcer->Say(tr("序列正在运行：按 Esc 停止"));
        return;
    }
    m_engine->StartQuery();
}

void Form1::Command2_Click()
{
    if (m_sequences->Running()) {
        m_announcer->Say(tr("序列正在运行：按 Esc 停止"));
        return;
    }
    // A module of another family is written by its own table's rules.
    if (m_state.Family)
        m_familySequence->StartUpdate();
    else
        m_guard->StartUpdate();
}

void Form1::Command3_Click()
{
    ClearConsole();
}

void Form1::Command4_Click()
{
    TakePort([this] {
        SearchNextPort(m_state.LastPortTried, *Uart1, Combo1->currentText(),
                       std::bind_front(&Form1::SetPortStatus, this), *m_warning, *m_sharedNotice);
    });
}

void Form1::ChoosePort(int number)
{
    TakePort([this, number] {
        OpenChosenPort(number, m_state.LastPortTried, *Uart1, Combo1->currentText(),
                       std::bind_front(&Form1::SetPortStatus, this), *m_warning, *m_sharedNotice);
    });
}

void Form1::TakePort(const std::function<void()> &open)
{
    // The operator takes over from the wait for a lost adapter and the searches.
    m_watch->Stop();
    StopSearches();
    m_origin->PortSearched(Uart1->IsOpen() ? Uart1->PortNumber() : 0);
    // Another port may hold another module.
    m_state.ModuleVersion.clear();
    m_state.Family = nullptr;
    m_state.FamilyVersion.clear();
    m_familySequence->ForgetWritten();
    open();
    // What the last port's module said, and its bytes still on the way, are no reply of this
    // port's module.
    m_engine->DiscardReceived();
    ShowFamily();
    // Only where the search ended is news; the ports tried on the way are not. A search that
    // found nothing says so in its box.
    if (Uart1->IsOpen())
        m_announcer->Say(Label4->text());
}

void Form1::FillPortMenu()
{
    m_portMenu->clear();
    const QList<PortChoice> choices = PortChoices();
    for (const PortChoice &choice : choices) {
        QAction *entry = m_portMenu->addAction(choice.text);
        entry->setCheckable(true);
        entry->setChecked(Uart1->IsOpen() && Uart1->PortNumber() == choice.number);
        connect(entry, &QAction::triggered, this, [this, number = choice.number] {
            // Opened once the list has closed, so that a box it may show is no child of it.
            QMetaObject::invokeMethod(
                this, [this, number] { ChoosePort(number); }, Qt::QueuedConnection);
        });
    }
    if (choices.isEmpty())
        m_portMenu->addAction(tr("没有找到串口"))->setEnabled(false);
}

void Form1::Combo1_Click()
{
    // The port runs at the rate the list shows: a choice applies to it at once, open or
    // not, and ends the searches (the one for the rate gives its rate back first).
    StopSearches();
    const QString rate = Combo1->currentText();
    if (!ApplyBaudRate(*Uart1, rate, *m_warning)) {
        // The list goes back to the rate the port still runs at.
        const QSignalBlocker quiet(Combo1);
        ShowRate(Uart1->BaudRate());
        Combo1->setAccessibleDescription(Combo1->currentText());
        return;
    }
    // A screen reader reads the rate as the list's description (on this platform the list's
    // own value reaches none); one chosen with the arrow keys, the list closed, is said.
    Combo1->setAccessibleDescription(rate);
    if (Combo1->hasFocus() && !Combo1->view()->isVisible())
        m_announcer->Say(rate);
}

void Form1::ShowRate(int rate)
{
    // The families run at rates the list does not offer: one found joins it, in its order.
    const QString text = QString::number(rate);
    if (Combo1->findText(text) < 0) {
        int at = 0;
        while (at < Combo1->count() && Combo1->itemText(at).toInt() < rate)
            ++at;
        Combo1->insertItem(at, text);
    }
    Combo1->setCurrentIndex(Combo1->findText(text));
    Combo1->setEditText(text);
}

void Form1::StopSearches()
{
    m_finder->Cancel();
}

std::array<NoticeBox *, 3> Form1::AllNotices() const
{
    return { m_notice.get(), m_sharedNotice.get(), m_doneNotice.get() };
}

bool Form1::NoticeUp() const
{
    const auto notices = AllNotices();
    return m_finder->Running() || (m_sequences && m_sequences->Running())
        || std::any_of(notices.begin(), notices.end(),
                       [](const NoticeBox *notice) { return notice->IsShown(); });
}

void Form1::DismissNotices()
{
    // Escape stops a running sequence first, as it stops a search.
    if (m_sequences->Running()) {
        m_sequences->Stop();
        return;
    }
    if (m_finder->Running()) {
        StopSearches();
        return;
    }
    for (NoticeBox *notice : AllNotices())
        notice->Close();
}

void Form1::SetPortStatus(const QString &caption, const QString &tooltip)
{
    SetWholeText(Label4, caption);
    Label4->setToolTip(AsPlainText(tooltip)); // it names devices and other programs
}

void Form1::AnnouncePortStatus(const QString &caption, const QString &tooltip)
{
    SetPortStatus(caption, tooltip);
    m_announcer->Say(caption);
}

void Form1::WatchTheModule()
{
    // Beside the engine: the notices for a module that does not answer (a step of a query
    // or update, a hand-typed command without a line end), the search for the module's
    // rate and command family that one of them offers or starts, and the notice that a
    // sequence ended. They look at the engine after each of its events, so they are
    // connected after the handlers that run it.
    m_notice = std::make_unique<NoticeBox>(this);
    m_finder = std::make_unique<ModuleFinder>(
        m_state, *Uart1, *m_engine, *m_notice,
        // The probe being tried, where the search shows its port.
        std::bind_front(&Form1::SetPortStatus, this), [this](int rate) { ShowRate(rate); },
        [this](int, const CommandFamily *family, const QString &answer, bool resume) {
            // The engine reads the module in its family from now on.
            m_state.Family = family;
            m_state.FamilyVersion = answer;
            if (resume)
                m_engine->StartQuery();
        });
    m_doneNotice = std::make_unique<NoticeBox>(this);
    m_stepWatch = std::make_unique<StepWatch>(m_state, *Uart1, *m_panel, *m_notice,
                                              [this] { m_finder->Start(); });
    m_lineEndWatch = std::make_unique<LineEndWatch>(m_state, *Uart1, *m_notice);
    m_quietDone = std::make_unique<QuietWhile>(*m_doneNotice,
                                               [this] { return m_batch && m_batch->Busy(); });
    m_stepWatch->SetDoneNotice(*m_quietDone);
    m_stepWatch->SetSilenceSearch(
        [this](const NoticeContent &otherwise) { m_finder->StartFromSilence(otherwise); });
    m_clock.start();
    const auto follow = [this] {
        m_stepWatch->Follow(m_clock.elapsed());
        m_finder->Follow();
    };
    // The origin first: a query that ends has been judged against the update before it
    // when the notice of its end asks.
    m_stepWatch->SetReadBack([this] { return m_origin->LastReadBack(); });
    m_engine->SetModeWatcher([this, follow] {
        PaceWhileRunning();
        m_familySequence->Follow();
        ShowFamily();
        m_origin->Follow();
        follow();
        m_lineEndWatch->Follow();
        // Last: each watcher has seen a sequence end before the batch starts the next.
        if (m_batch)
            m_batch->Follow();
    });
    connect(Uart1, &SerialPort::commEvent, this, [this, follow] {
        m_familySequence->Follow();
        follow();
        m_lineEndWatch->OnPortEvent();
    });
    // The tick matters only to a step that waits or goes out, a loss only to the searches:
    // a sequence that a loss ends tells them all through the mode watcher.
    connect(Timer1, &QTimer::timeout, this, [this] {
        m_familySequence->Follow();
        m_stepWatch->Follow(m_clock.elapsed());
        m_origin->Follow();
    });
    connect(Uart1, &SerialPort::deviceLost, this, [this] { m_finder->Follow(); });
}

void Form1::KeepTrackOfThePanel()
{
    // Beside the engine too: where the panel's values came from, which the update's guard
    // and the marks read, and the panel's menu of files and pairs.
    m_messageConfirm = std::make_unique<MessageBoxConfirm>(this);
    m_guard = std::make_unique<UpdateGuard>(*m_origin, *m_engine, *m_messageConfirm);
    m_confirm = m_messageConfirm.get();
    m_familySequence
        = std::make_unique<FamilySequence>(m_state, *Uart1, *m_engine, *m_origin, *m_notice,
                                           *m_confirm, [this] { return m_clock.elapsed(); });
    m_familySequence->SetRateCheck([this](int rate) { return AdapterTakes(rate); });
    m_familySequence->SetRateShower([this](int rate) { ShowRate(rate); });
    m_pairing = std::make_unique<Pairing>(*m_panel, *m_origin);
    m_panelMenu = std::make_unique<PanelMenu>(this, *m_panel, *m_origin, *m_pairing, *m_warning);
    m_origin->SetMarksWatcher([this] { m_panel->SetMarks(m_origin->Marks()); });
    m_origin->SetQueryStopper([this] { m_engine->StopSequence(); });
    m_origin->SetOriginWatcher([this] {
        ShowPanelSource();
        if (m_origin->ValuesFromPort())
            m_announcer->Say(m_panel->SourceLabel()->text());
    });
    m_panel->SetNoteHandler([this](const QString &note) { m_announcer->Say(note); });
    m_panel->SetEditedHandler([this](int step) { m_origin->Edited(step); });
}

bool Form1::AdapterTakes(int rate)
{
    // Asked only of a rate command about to go out: the line is set to the rate and back.
    const int now = Uart1->BaudRate();
    if (!Uart1->IsOpen() || rate == now)
        return true;
    if (!Uart1->SetLine(LineSettings(QString::number(rate))))
        return false; // refused: the port kept its rate
    Uart1->SetLine(LineSettings(QString::number(now)));
    return true;
}

void Form1::ShowPanelSource()
{
    QStringList source;
    if (m_state.Family) // "以“OK+”回答的一类 · V540"
        source << QCoreApplication::translate("Families", m_state.Family->kind)
                + (m_state.FamilyVersion.isEmpty()
                       ? QString()
                       : QStringLiteral(" · ") + FamilyVersion(m_state.FamilyVersion));
    if (const int from = m_origin->ValuesFromPort())
        source << tr("来自端口 %1 的模块").arg(from);
    m_panel->SetSource(source.join(QStringLiteral(" · ")));
}

void Form1::ShowFamily()
{
    const std::pair shown { m_state.Family, m_state.FamilyVersion };
    if (shown == m_familyShown)
        return;
    const bool newFamily = shown.first != m_familyShown.first;
    m_familyShown = shown;
    const QString kind = m_state.Family
        ? QCoreApplication::translate("Families", m_state.Family->kind)
        : QString();
    const QString reason = tr("%1没有这项设置").arg(kind);
    m_panel->ShowFamily(m_state.Family, reason, tr("只能写入，不能读取"));
    ShowPanelSource();
    if (!newFamily || !m_state.Family)
        return;
    // A screen reader cannot see which rows went grey: it is told what the family has.
    QStringList writeOnly, both, absent;
    for (int step = 1; step <= UpdateSteps; ++step) {
        const RowUse use = FamilyRowUse(m_state.Family, step);
        (use == RowUse::WriteOnly       ? writeOnly
             : use == RowUse::ReadWrite ? both
                                        : absent)
            << SettingName(step, *m_panel);
    }
    QStringList said { m_panel->SourceLabel()->text() };
    if (!both.isEmpty())
        said << tr("可以读写：%1").arg(both.join(tr("、")));
    if (!writeOnly.isEmpty())
        said << tr("只能写入：%1").arg(writeOnly.join(tr("、")));
    // The absent rows' own reason, as their description says it.
    if (!absent.isEmpty())
        said << absent.join(tr("、")) + tr("：") + reason;
    m_announcer->Say(said.join(tr("。")));
}

void Form1::WatchTheBatch()
{
    m_batch = std::make_unique<BatchRun>(m_state, *Uart1, *m_engine, *m_origin);
    m_batchBox = new BatchBox(this);
    m_batch->SetDescriber(
        [this] {
            return m_state.Family ? QCoreApplication::translate("Families", m_state.Family->kind)
                                  : tr("经典命令集");
        },
        [this] { return ShortDeviceName(Uart1->Device()); });
    m_batch->SetRepeatAsk([this](const QString &address) {
        return m_confirm->Confirm(tr("该模块已在本批中配置过：%1").arg(address),
                                  tr("要再写入一次吗？"));
    });
    m_batch->SetVerdictShower([this](const QString &verdict, bool passed) {
        m_batchBox->ShowVerdict(verdict, passed);
        m_batchBox->ShowCounts(m_batch->Counter(), m_batch->Done(), m_batch->Passed());
        m_announcer->Say(verdict);
        if (!passed)
            QApplication::beep();
    });
    const auto next = [this] {
        if (!m_batch->Running() || m_batch->Busy())
            return;
        if (!Uart1->IsOpen()) {
            m_batchBox->ShowBusy(tr("端口没有打开：插上模块，或点击搜索端口"));
            return;
        }
        m_batchBox->ShowBusy(tr("正在读取、写入并读回模块……"));
        m_batch->Next();
    };
    connect(m_batchBox, &BatchBox::nextRequested, this, next);
    connect(m_batchBox, &BatchBox::stopRequested, this, [this] { m_batch->Stop(); });
    // A module whose port appears (plugged in, or the adapter back) is taken by itself,
    // once everything else has seen the port open.
    connect(Uart1, &SerialPort::opened, this,
            [this, next] { QMetaObject::invokeMethod(this, next, Qt::QueuedConnection); });
}

bool Form1::StartBatch(const QString &profile, const QString &record, int counter)
{
    std::map<int, QString> values;
    if (const auto fault = LoadProfileFile(profile, values)) {
        m_warning->Show(
            WarningTitle(), tr("无法载入批量配置文件 %1").arg(QDir::toNativeSeparators(profile)),
            fault->line > 0 ? tr("第 %1 行：%2").arg(QString::number(fault->line), fault->reason)
                            : fault->reason);
        return false;
    }
    QStringList settings;
    for (int step = 1; step <= UpdateSteps; ++step)
        settings << SettingName(step, *m_panel);
    auto file = std::make_unique<BatchRecord>(settings);
    QString error;
    if (!file->Open(record, &error)) {
        ShowFileFault(*m_warning, tr("无法打开批量配置的记录文件！"),
                      QDir::toNativeSeparators(record), error);
        return false;
    }
    m_batch->Start(std::move(values), counter, std::move(file));
    m_batchBox->Begin(profile, record);
    m_batchBox->ShowCounts(counter, 0, 0);
    return true;
}

void Form1::AskBatch()
{
    if (m_batch->Running()) {
        m_batchBox->reject();
        return;
    }
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!QDir(folder).exists())
        folder = QDir::homePath();
    const QString profile = QFileDialog::getOpenFileName(
        this, tr("批量配置：写入哪个配置文件"), folder, tr("配置文件 (*.ini);;所有文件 (*)"));
    if (profile.isEmpty())
        return;
    // An existing record is appended to, so the dialog does not ask to replace it.
    const QString record = QFileDialog::getSaveFileName(
        this, tr("批量配置：记录到哪个文件"),
        QDir(folder).filePath(BatchRecord::DefaultName(QDateTime::currentDateTime())),
        tr("记录 (*.csv);;所有文件 (*)"), nullptr, QFileDialog::DontConfirmOverwrite);
    if (record.isEmpty())
        return;
    bool chosen = false;
    const int counter = QInputDialog::getInt(this, tr("批量配置"), tr("{n} 从几开始："), 1, 0,
                                             99999999, 1, &chosen);
    if (chosen)
        StartBatch(profile, record, counter);
}

void Form1::Command5_Click()
{
    const OutgoingCommand command = Text2->Command();
    if (!command.refusal.isEmpty()) {
        m_warning->Show(WarningTitle(), command.refusal, command.refusalDetails);
        return;
    }
    // A command that loses what the module was is sent only when the operator says so.
    const QString follows = GuardedCommandWarning(command.bytes, m_state.Family,
                                                  [this](int rate) { return AdapterTakes(rate); });
    if (!follows.isEmpty() && !m_confirm->ConfirmSend(follows, tr("要发送这条命令吗？")))
        return;
    if (!m_engine->SendManual(command.bytes))
        return;
    Text2->Sent();
    m_familySequence->SentByHand(command.bytes);
    m_lineEndWatch->Sent(command);
    m_arrivals->Sent();
}

void Form1::Command6_Click()
{
    m_panel->ClearSettingsPanel();
    m_origin->Cleared();
}

void Form1::Timer1_Timer()
{
    m_engine->OnTick();
}

void Form1::Uart1_OnComm()
{
    const qint64 before = m_state.ReplyBuffer.Appended();
    m_engine->OnReceive();
    // Only a screen reader hears arrivals: without one, a flood is not counted line by line.
    if (m_state.ReplyBuffer.Appended() > before && QAccessible::isActive())
        m_arrivals->Received(m_state.LastChunk, SequenceRunning(m_state));
}

void Form1::PaceWhileRunning()
{
    // Run by the engine at every change of mode. The tick only ever acts while a query
    // or update runs; idle, the tool wakes only for the operator and the port. While one
    // runs, each reply is read the moment it arrives.
    const bool running = SequenceRunning(m_state);
    Uart1->SetReadAtOnce(running);
    if (running && !Timer1->isActive())
        Timer1->start();
    else if (!running)
        Timer1->stop();
}

void Form1::Uart1_DeviceLost()
{
    // The label says so before the engine may open its box; the tooltip still names
    // the adapter, so the operator knows which one to plug back in. The wait for it
    // starts first: it goes on while the box is open.
    AnnouncePortStatus(PortLostCaption(Uart1->PortNumber()), AdapterText(Uart1->Identity()));
    m_watch->Start();
    m_engine->OnPortLost();
    // After the engine: a query the loss ends is over before the port counts as changed.
    m_origin->PortLost(Uart1->PortNumber());
    m_familySequence->ForgetWritten();
    ShowFamily();
}

void Form1::RichTextBox1_SelChange()
{
    // An append moves the caret and the selection together, and both signals come; the
    // status line depends only on the text and the selection start, so refresh once.
    const std::pair shown { RichTextBox1->Store().Size(), RichTextBox1->SelectionStart() };
    if (shown == m_statusShown)
        return;
    // New text refreshes it at most every StatusWhileFeedingMs, the last as it comes to rest;
    // a caret the operator moves, and a clear, at once.
    const bool grew = shown.first > m_statusShown.first && m_statusShown.first >= 0;
    if (grew && m_statusSince.isValid() && m_statusSince.elapsed() < StatusWhileFeedingMs) {
        if (!m_statusLater->isActive())
            m_statusLater->start(int(StatusWhileFeedingMs - m_statusSince.elapsed()));
        return;
    }
    m_statusLater->stop();
    m_statusShown = shown;
    m_statusSince.start();
    UpdateCaretStatus();
}

void Form1::UpdateCaretStatus()
{
    // Positions in 64 bits: a day of traffic passes 2^31 characters.
    const qsizetype line = RichTextBox1->GetLineFromChar(RichTextBox1->SelectionStart());
    const qsizetype count = RichTextBox1->LineCount();
    const qsizetype start = RichTextBox1->LineStart(line);
    SetWholeText(Label1, tr("当前行号： %1").arg(line + 1));
    SetWholeText(Label2, tr("当前位置： %1").arg(start));
    SetWholeText(Label3, tr("总的行数： %1").arg(count));
}

void Form1::ClearConsole()
{
    // Clearing moves the caret, and so refreshes the status line.
    RichTextBox1->Clear();
}
