// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/commandengine.h"
#include "engine/enginestate.h"
#include "portlabel.h"

#include <QElapsedTimer>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <utility>

class Announcer;
class ArrivalSpeech;
class BatchBox;
class BatchRun;
class CommandBox;
class ConfirmBox;
class FamilySequence;
struct CommandFamily;
class ConsoleFeed;
class ConsoleView;
class FrameBatcher;
class LineEndWatch;
class MessageBoxConfirm;
class MessageBoxWarning;
class ModuleFinder;
class Notice;
class NoticeBox;
class NoticeKeys;
class Pairing;
class PanelMenu;
class PanelOrigin;
class PortWatch;
class QComboBox;
class QLabel;
class QMenu;
class QToolButton;
class QPushButton;
class QTimer;
class SequenceRunner;
struct SequenceStep;
struct ShippedSequence;
class SerialPort;
class SettingsPanel;
class StepWatch;
class UpdateGuard;
class WarningBox;

// The tool's one window. It owns every control, the serial port and the engine state,
// and forwards each control event to the engine, the port search or the panel.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

    // Replaces the modal warning (tests record it instead of showing a box).
    void SetWarningBox(WarningBox *warning);
    // Replaces the box that asks before an update writes (tests answer for it).
    void SetConfirmBox(ConfirmBox *confirm);

    EngineState &State() { return m_state; }
    SettingsPanel &Panel() { return *m_panel; }
    // What the engine appends goes through it, drawn once a frame.
    FrameBatcher &Batcher() { return *m_batcher; }
    SerialPort &Port() { return *Uart1; }
    NoticeBox &Notices() { return *m_notice; }
    ModuleFinder &Finder() { return *m_finder; }
    // Says that a query or update has ended.
    NoticeBox &DoneNotice() { return *m_doneNotice; }
    // Waits for a lost adapter and opens it again; says when a port opened is shared.
    PortWatch &Watch() { return *m_watch; }
    NoticeBox &SharedNotice() { return *m_sharedNotice; }
    // What a screen reader is told without a box: the port's state, replies to typed commands.
    Announcer &Spoken() { return *m_announcer; }
    // A batch at the bench: the profile (a settings file), the record (CSV, appended to)
    // and the counter's start; false, with a warning, when the record cannot be opened.
    bool StartBatch(const QString &profile, const QString &record, int counter);
    BatchRun &Batch() { return *m_batch; }
    BatchBox *BatchWindow() { return m_batchBox; }
    // The operator's sequences: the folder they are read from, and one run by its file.
    QString SequenceFolder() const;
    bool RunSequence(const QString &path);
    bool RunShipped(const ShippedSequence &shipped);
    SequenceRunner &Sequences() { return *m_sequences; }
    // The panel's context menu.
    PanelMenu &Menu() { return *m_panelMenu; }

    // The window's menu: the entries of the console's, the command box's and the panel's.
    QToolButton *MenuButton = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *Command3 = nullptr;
    QPushButton *Command4 = nullptr;
    QPushButton *Command5 = nullptr;
    QPushButton *Command6 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    PortLabel *Label4 = nullptr;
    QLabel *Label5 = nullptr;
    QComboBox *Combo1 = nullptr;
    ::ConsoleView *RichTextBox1 = nullptr;
    CommandBox *Text2 = nullptr;
    QTimer *Timer1 = nullptr;
    SerialPort *Uart1 = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    // A port chosen from the list of the ports there are.
    void ChoosePort(int number);
    // What 搜索端口 and a port chosen share: `open` closes the port and opens another.
    void TakePort(const std::function<void()> &open);
    // The ports there are, the open one checked, each opening its port.
    void FillPortMenu();
    void Command5_Click();
    void Command6_Click();
    void Combo1_Click();
    // Selects a rate in the baud list.
    void ShowRate(int rate);
    // The operator takes over from the search for the module's rate and command family.
    void StopSearches();
    // The window's notices; whether one is up (a search's counts), and its dismissal by
    // the keyboard: a search stops, as its "取消" does, else every notice closes.
    std::array<NoticeBox *, 3> AllNotices() const;
    bool NoticeUp() const;
    void DismissNotices();
    void Timer1_Timer();
    void Uart1_OnComm();
    void Uart1_DeviceLost();
    void SetPortStatus(const QString &caption, const QString &tooltip);
    // The same, for a state the operator waits to hear of: a port opened, lost or back.
    void AnnouncePortStatus(const QString &caption, const QString &tooltip);
    void RichTextBox1_SelChange();

    // The panel's line over its rows: the module's family and version, and whose module
    // the values came from; and its rows as the family has them.
    void ShowPanelSource();
    // "批量配置…": asks for the profile, the record and the counter's start; while a batch
    // runs, stops it.
    void AskBatch();
    void WatchTheBatch();
    // The sequences' menu and keys (Ctrl+1 to Ctrl+9, the folder's files in name order).
    void WatchTheSequences(QMenu *menu);
    QStringList SequenceFiles() const;
    void FillSequenceMenu(QMenu *menu);
    void SaveHistoryAsSequence();
    void CopyShippedSequences();
    bool StartSequence(const QString &name, const QList<SequenceStep> &steps);
    // Whether the open adapter can run at the rate.
    bool AdapterTakes(int rate);
    void ShowFamily();
    void WatchTheModule();
    void KeepTrackOfThePanel();
    void UpdateCaretStatus();
    void PaceWhileRunning();
    void ClearConsole();
    void CreateControls();
    void CreateMenus();
    void SetTabOrder();
    // Every control at its place for the client's size.
    void LayOut();

    EngineState m_state;
    QMenu *m_portMenu = nullptr;
    QWidget *m_client = nullptr; // every control's parent, scrolled where the screen is small
    bool m_placed = false; // within the screen, once shown
    // The text length and the caret the status line shows.
    std::pair<qsizetype, qsizetype> m_statusShown { -1, -1 };
    // While text comes in, the status line follows it at most this often: three labels
    // painted again at every frame cost more than the frame's new text.
    static constexpr int StatusWhileFeedingMs = 250;
    QTimer *m_statusLater = nullptr;
    QElapsedTimer m_statusSince; // since the status line was last refreshed
    std::unique_ptr<FrameBatcher> m_batcher;
    std::unique_ptr<ConsoleFeed> m_feed;
    std::unique_ptr<SettingsPanel> m_panel;
    // The port's rate, put back over an unfinished one typed in the list until it shows.
    QString m_rateRestored;
    std::unique_ptr<MessageBoxWarning> m_messageBox;
    WarningBox *m_warning = nullptr;
    std::unique_ptr<PanelOrigin> m_origin;
    std::unique_ptr<CommandEngine> m_engine;
    std::unique_ptr<MessageBoxConfirm> m_messageConfirm;
    ConfirmBox *m_confirm = nullptr; // the update's and a guarded command's
    std::unique_ptr<UpdateGuard> m_guard;
    std::unique_ptr<FamilySequence> m_familySequence;
    std::pair<const CommandFamily *, QString> m_familyShown;
    std::unique_ptr<Pairing> m_pairing;
    std::unique_ptr<PanelMenu> m_panelMenu;
    std::unique_ptr<NoticeBox> m_notice;
    std::unique_ptr<ModuleFinder> m_finder;
    std::unique_ptr<NoticeBox> m_doneNotice;
    std::unique_ptr<Notice> m_quietDone; // the done notice, held while a batch works
    std::unique_ptr<StepWatch> m_stepWatch;
    std::unique_ptr<LineEndWatch> m_lineEndWatch;
    QElapsedTimer m_clock;
    std::unique_ptr<NoticeBox> m_sharedNotice;
    std::unique_ptr<PortWatch> m_watch;
    Announcer *m_announcer = nullptr;
    std::unique_ptr<ArrivalSpeech> m_arrivals;
    std::unique_ptr<BatchRun> m_batch;
    std::unique_ptr<SequenceRunner> m_sequences;
    bool m_readAfterSequence = false; // the panel is read again once the sequence is done
    BatchBox *m_batchBox = nullptr;
    std::unique_ptr<NoticeKeys> m_noticeKeys; // first to go: it reads the notices
};
