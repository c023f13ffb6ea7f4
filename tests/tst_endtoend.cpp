// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/batchbox.h"
#include "app/commandbox.h"
#include "app/form1.h"
#include "app/language.h"
#include "app/noticebox.h"
#include "app/spoken.h"
#include "console/consoleview.h"
#include "console/framebatcher.h"
#include "engine/batchrun.h"
#include "engine/families/families.h"
#include "engine/modulefinder.h"
#include "engine/sequence.h"
#include "engine/sequencerunner.h"
#include "fakes.h"
#include "panel/panelmenu.h"
#include "panel/settingspanel.h"
#include "serial/portsearch.h"
#include "serial/serialport.h"
#include "simulator.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <csignal>
#include <functional>
#include <memory>

// The real window and a real serial port against the simulated module.
class TestEndToEnd : public QObject
{
    Q_OBJECT

    std::unique_ptr<Simulator> m_sim;
    std::optional<TemporaryPreferences> m_preferences;
    std::unique_ptr<Form1> m_form;
    FakeWarning m_warning;
    FakeConfirm m_confirm;

    // Starts the simulator and the window, and searches once: true when port 1 opened.
    // `port`: the devices the tool has as its ports, when not the simulator's own alone
    // ("{sim}" stands for it).
    [[nodiscard]] bool Start(const QStringList &options = {}, const QString &port = {})
    {
        m_sim = std::make_unique<Simulator>(options);
        if (!m_sim->Device().startsWith(QLatin1String("/dev/")))
            return false;
        const QString ports
            = port.isEmpty() ? m_sim->Device() : QString(port).replace("{sim}", m_sim->Device());
        qputenv("TARVENIT_PORTS", ports.toLocal8Bit());
        m_preferences.emplace();
        m_form = std::make_unique<Form1>();
        m_warning.shown.clear();
        m_form->SetWarningBox(&m_warning);
        m_confirm.asked.clear();
        m_confirm.details.clear();
        m_form->SetConfirmBox(&m_confirm);
        m_form->show();
        m_form->Command4->click();
        return m_form->Label4->text() == PortOpenCaption(1, m_form->Port().Device());
    }

    // Runs a whole sequence: true when its last step completed without a warning.
    [[nodiscard]] bool RunToEnd(QPushButton *button, int lastStep)
    {
        button->click();
        const auto done = [&] {
            return m_form->State().WorkMode == ModeIdle && m_form->State().StepIndex == lastStep;
        };
        return RunUntil(done, 30000) && m_warning.shown.isEmpty();
    }

    // Runs the event loop as the tool's own runs, waking for each event as it comes, until
    // the condition holds or the deadline passes. QTest::qWaitFor sleeps 10 ms between its
    // rounds, which would put pauses of its own between a reply and the next command.
    [[nodiscard]] static bool RunUntil(const std::function<bool()> &done, int timeoutMs)
    {
        QEventLoop loop;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
            if (done())
                loop.quit();
        });
        check.start(5);
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        if (!done())
            loop.exec();
        return done();
    }

    QString Text1(int index) { return m_form->Panel().Text1(index); }
    QString DoneText()
    {
        return m_form->DoneNotice().IsShown() ? m_form->DoneNotice().Box()->text() : QString();
    }

    // The text of the notice on show, empty when none is.
    QString NoticeText()
    {
        NoticeBox &notice = m_form->Notices();
        return notice.IsShown() ? notice.Box()->text() : QString();
    }
    // Presses a button of the notice on show; false when it has no such button.
    [[nodiscard]] bool PressOnNotice(const QString &caption)
    {
        const auto buttons = m_form->Notices().IsShown() ? m_form->Notices().Box()->buttons()
                                                         : QList<QAbstractButton *>();
        for (QAbstractButton *button : buttons) {
            if (button->text() == caption)
                return button->click(), true;
        }
        return false;
    }

    // Waits until the console has drawn every append; what is read after it fails on its
    // own if that never happens.
    void Drawn()
    {
        (void)QTest::qWaitFor([&] { return !m_form->Batcher().HasPending(); }, 5000);
    }

    // The colours of the console's lines that hold `text`.
    QList<QColor> ColoursOfLines(const QString &text)
    {
        Drawn();
        QList<QColor> colours;
        const ConsoleStore &store = m_form->RichTextBox1->Store();
        for (qsizetype line = 0; line < store.LineCount(); ++line) {
            const qsizetype start = store.LineStart(line);
            const qsizetype length = store.LineLength(line);
            if (length > 0 && store.Text(start, start + length) == text)
                colours << QColor(store.Runs(start, start + 1).first().second);
        }
        return colours;
    }

    // The console's runs of text in one colour, in order.
    QStringList TextInColour(QColor colour)
    {
        Drawn();
        // Each run cut at its line breaks, one piece per console line.
        QStringList runs;
        const ConsoleStore &store = m_form->RichTextBox1->Store();
        const auto all = store.Runs(0, store.Size());
        for (qsizetype i = 0; i < all.size(); ++i) {
            if (QColor(all[i].second) != colour)
                continue;
            const qsizetype end = i + 1 < all.size() ? all[i + 1].first : store.Size();
            runs << store.Text(all[i].first, end).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        }
        return runs;
    }

    static QStringList QueryCommands()
    {
        return { "AT",        "AT+VERSION?", "AT+ADDR?", "AT+NAME?", "AT+ROLE?",
                 "AT+CLASS?", "AT+IAC?",     "AT+INQM?", "AT+PSWD?", "AT+UART?",
                 "AT+CMODE",  "AT+BIND?",    "AT+MRAD?", "AT+STATE?" };
    }

    void VerifyDefaultsInPanel()
    {
        QCOMPARE(Text1(0), QStringLiteral("TARVENIT-BT"));
        QCOMPARE(Text1(1), QStringLiteral("1.4-20250310"));
        QCOMPARE(Text1(2), QStringLiteral("1a2b:3c:4d5e6f"));
        QCOMPARE(Text1(3), QStringLiteral("1f00"));
        QCOMPARE(Text1(4), QStringLiteral("1234"));
        QCOMPARE(Text1(5), QStringLiteral("9e8b33"));
        QCOMPARE(Text1(7), QStringLiteral("0:0:0"));
        QCOMPARE(Text1(8), QStringLiteral("1,1,48"));
        QCOMPARE(Text1(9), QStringLiteral("INITIALIZED"));
        QCOMPARE(Text1(10), QStringLiteral("38400,0,0"));
        QCOMPARE(Text1(11), QStringLiteral("0:0:0"));
        QVERIFY(m_form->Panel().Option(2)); // role 0: slave
        QVERIFY(m_form->Panel().Option(5)); // connection mode 0
    }

private slots:
    void cleanup()
    {
        m_form.reset();
        m_sim.reset();
        qunsetenv("TARVENIT_PORTS");
        UseLanguage(QStringLiteral("zh"));
    }

    void handTypedCommand();
    void batchOfModules();
    void sequenceOnKey_data();
    void sequenceOnKey();
    void fullQuery_data();
    void fullQuery();
    void updateWritesTheModule_data();
    void updateWritesTheModule();
    void errorReplyDoesNotStopTheUpdate();
    void unansweredCommandHaltsTheQuery();
    void unansweredStepNotice_data();
    void unansweredStepNotice();
    void shippedFactoryReset();
    void shippedPairing();
    void firmwareVersions_data();
    void firmwareVersions();
    void nameHoldingOk();
    void clearedPanelUpdate();
    void marksAfterAModuleThatForgets_data();
    void marksAfterAModuleThatForgets();
    void hangUpMidway();
    void queryAfterUnfinishedReply();
    void terminationSignalEndsTheTool_data();
    void terminationSignalEndsTheTool();
    void commandLine_data();
    void commandLine();
};

void TestEndToEnd::handTypedCommand()
{
    QVERIFY(Start());
    m_form->Text2->setPlainText(QStringLiteral("AT\n"));
    m_form->Command5->click();
    QTRY_COMPARE_WITH_TIMEOUT(m_form->RichTextBox1->toPlainText(), QStringLiteral("AT\nOK\n"),
                              10000);
    QCOMPARE(ColoursOfLines(QStringLiteral("AT")), QList<QColor> { QColor(255, 0, 0) });
    QCOMPARE(ColoursOfLines(QStringLiteral("OK")), QList<QColor> { QColor(0, 0, 255) });
    QCOMPARE(m_sim->Received(), QStringList { "AT" });
    QCOMPARE(m_sim->Records('>'), QStringList { "OK" });
    // One without a line end: a notice tells, and the next command closes it.
    m_form->Text2->setPlainText(QStringLiteral("AT"));
    m_form->Command5->click();
    QTRY_VERIFY_WITH_TIMEOUT(NoticeText().contains(QStringLiteral("行尾")), 5000);
    m_form->Text2->SetEnding(LineEnding::CrLf);
    m_form->Command5->click();
    QVERIFY(NoticeText().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(m_sim->Received(), (QStringList { "AT", "ATAT" }), 5000); // one line
}

void TestEndToEnd::fullQuery_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::newRow("plain") << QStringList {};
    QTest::newRow("small pieces with delays") << QStringList { "--chunk", "3", "--delay", "15" };
    QTest::newRow("random pieces") << QStringList { "--chunk", "random" };
    QTest::newRow("noise between replies") << QStringList { "--garbage" };
}

void TestEndToEnd::fullQuery()
{
    QFETCH(QStringList, options);
    QVERIFY(Start(options));
    QVERIFY(RunToEnd(m_form->Command1, 14));
    VerifyDefaultsInPanel();
    QCOMPARE(m_sim->Received(), QueryCommands());
    // A step completes as soon as its "OK" is in, so the next command may follow on the
    // same console line as the rest of the reply: compare the red runs, not the lines.
    QCOMPARE(TextInColour(QColor(255, 0, 0)), QueryCommands());
    // A figure, not a check: how soon each reply is followed by the next command.
    QList<int> gaps = m_sim->ReplyToCommand();
    QCOMPARE(gaps.size(), 13);
    std::sort(gaps.begin(), gaps.end());
    qInfo("From a reply to the next command: median %d ms, at most %d ms", gaps.at(6), gaps.last());
}

void TestEndToEnd::updateWritesTheModule_data()
{
    // The module hears the same lines whatever language the window speaks.
    QTest::addColumn<QString>("language");
    QTest::newRow("Chinese") << "zh";
    QTest::newRow("English") << "en";
}

void TestEndToEnd::updateWritesTheModule()
{
    QFETCH(QString, language);
    QVERIFY(UseLanguage(language));
    QVERIFY(Start());
    QVERIFY(RunToEnd(m_form->Command1, 14));
    QCOMPARE(m_sim->Received(), QueryCommands());
    m_form->Panel().Text1Box(0)->setText(QStringLiteral("BENCH-7"));
    m_form->Panel().SetOption(1, true); // master
    m_form->Panel().Text1Box(7)->setText(QStringLiteral("1a2b:3c:4d5e6f"));
    QVERIFY(RunToEnd(m_form->Command2, 9));
    QVERIFY(m_confirm.asked.isEmpty()); // the panel is this module's, as read and edited

    const QStringList update = { "AT+NAME=BENCH-7",        "AT+ROLE=1",      "AT+CLASS=1f00",
                                 "AT+PSWD=1234",           "AT+IAC=9e8b33",  "AT+CMODE=0",
                                 "AT+BIND=1a2b,3c,4d5e6f", "AT+INQM=1,1,48", "AT+UART=38400,0,0" };
    QCOMPARE(m_sim->Received().mid(14), update);
    QCOMPARE(m_sim->Records('>').mid(m_sim->Records('>').size() - 9), QStringList(9, "OK"));
    for (const QString &line : update)
        QCOMPARE(ColoursOfLines(line), QList<QColor> { QColor(0, 255, 0) });

    m_form->Command6->click();
    QVERIFY(RunToEnd(m_form->Command1, 14));
    QCOMPARE(Text1(0), QStringLiteral("BENCH-7"));
    QCOMPARE(Text1(7), QStringLiteral("1a2b:3c:4d5e6f"));
    QVERIFY(m_form->Panel().Option(1));
    QVERIFY(!m_form->Panel().Option(2));
    QVERIFY(!m_form->Notices().IsShown()); // nothing refused, nothing to say
}

void TestEndToEnd::errorReplyDoesNotStopTheUpdate()
{
    QVERIFY(Start({ "--error", "AT+CLASS=", "--error", "AT+CMODE=", "--delay", "5" }));
    QVERIFY(RunToEnd(m_form->Command1, 14));
    QVERIFY(RunToEnd(m_form->Command2, 9));
    const QStringList received = m_sim->Received();
    QCOMPARE(received.size(), 14 + 9);
    QCOMPARE(received.at(14 + 2), QStringLiteral("AT+CLASS=1f00"));
    QVERIFY(m_sim->Records('>').contains(QStringLiteral("ERROR:(1F)")));
    Drawn();
    QVERIFY(m_form->RichTextBox1->toPlainText().contains(QStringLiteral("ERROR:(1F)\n")));
    // The update ends with the refused settings listed by the panel's captions.
    QCOMPARE(NoticeText(),
             QStringLiteral("模块拒绝了以下设置：\n设备类：ERROR:(1F)\n连接模式：ERROR:(1F)"));
    QCOMPARE(m_form->Notices().Box()->windowTitle(), QStringLiteral("提示"));
}

void TestEndToEnd::unansweredCommandHaltsTheQuery()
{
    QVERIFY(Start({ "--silent", "AT+ROLE?" }));
    m_form->Command1->click();
    QTRY_COMPARE_WITH_TIMEOUT(m_sim->Received().size(), 5, 10000);
    QCOMPARE(m_sim->Received().last(), QStringLiteral("AT+ROLE?"));
    QCOMPARE(m_form->State().StepIndex, qint16(5));
    QVERIFY(m_form->State().AwaitingReply);
    QCOMPARE(Text1(0), QStringLiteral("TARVENIT-BT")); // what was read so far stays

    // No time-out: nothing more goes out however many ticks pass.
    QSignalSpy ticks(m_form->Timer1, &QTimer::timeout);
    QTRY_VERIFY_WITH_TIMEOUT(ticks.count() >= 30, 5000);
    QCOMPARE(TextInColour(QColor(255, 0, 0)).size(), 5);

    m_form->Command1->click(); // restarts at step 1
    QTRY_COMPARE_WITH_TIMEOUT(m_sim->Received().size(), 10, 10000);
    QCOMPARE(m_sim->Received().mid(5), QueryCommands().mid(0, 5));
}

void TestEndToEnd::unansweredStepNotice_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("step"); // the step left unanswered
    QTest::addColumn<QString>("text"); // the notice's text begins so
    // a late reply comes, the operator finds the module, or the silence did ("silence")
    QTest::addColumn<QString>("then");
    QTest::addColumn<QString>("found"); // the finder's last notice holds it; empty: none left
    QTest::addColumn<int>("rate"); // the port's after it
    QTest::newRow("nothing, then a late reply")
        << QStringList { "--late", "AT+ROLE?" } << 5 << "“AT+ROLE?”发出 2 秒后，模块没有任何回应。"
        << "late"
        << "" << 0;
    QTest::newRow("no command mode; no rate answers")
        << QStringList { "--no-command-mode" } << 1 << "“AT”发出 2 秒后，模块没有任何回应。"
        << "silence"
        << "“AT”发出 2 秒后，模块没有任何回应。\n在每一个波特率下，模块都没有回答“AT”；" << 38400;
    QTest::newRow("the pause family at 9600, found from the silence")
        << QStringList { "--command-set", "pause", "--rate", "9600" } << 1
        << "“AT”发出 2 秒后，模块没有任何回应。"
        << "silence"
        << "模块在 9600 波特率下对“AT+VERSION”回答了“BTMODV1.8”：它使用另一套命令，"
           "以停顿结束命令的一类。"
        << 9600;
    QTest::newRow("limited command mode")
        << QStringList { "--limited" } << 2
        << "“AT+VERSION?”发出 2 秒后，模块没有任何回应。\n模块回答了前面的命令，却不回答这一条"
        << ""
        << "" << 0;
    QTest::newRow("not text at another rate; the finder finds 9600")
        << QStringList { "--rate", "9600" } << 1
        << "“AT”发出后收到的字节不能读作文字（乱码、控制字符或空字节），这多半是波特率不对。"
           "当前波特率为 38400。"
        << "find"
        << "模块在 9600 波特率下回答了“AT”。" << 9600;
    QTest::newRow("a rate the baud list lacks joins it")
        << QStringList { "--rate", "230400" } << 1 << "“AT”发出后收到的字节不能读作文字"
        << "find"
        << "模块在 230400 波特率下回答了“AT”。" << 230400;
    QTest::newRow("other text: replies without line ends")
        << QStringList { "--no-line-end" } << 2
        << "“AT+VERSION?”发出 2 秒后，这一步等待的“OK”已经到了，却不在一行的开头：模块的回应不带"
           "行结束符。收到的最后一行：\n“+VERSION:1.4-20250310OK”"
        << ""
        << "" << 0;
    QTest::newRow("port pulled during the search: it ends quietly")
        << QStringList { "--no-command-mode", "--hangup-after", "3" } << 1 << "“AT”发出 2 秒后"
        << "silence"
        << "" << 0;
}

void TestEndToEnd::unansweredStepNotice()
{
    QFETCH(QStringList, options);
    QFETCH(int, step);
    QFETCH(QString, text);
    QFETCH(QString, then);
    QFETCH(QString, found);
    QFETCH(int, rate);
    QVERIFY(Start(options));
    m_form->Command1->click();
    QTRY_VERIFY_WITH_TIMEOUT(m_form->State().StepIndex == step && m_form->State().AwaitingReply,
                             10000);
    QElapsedTimer clock;
    clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(m_form->Notices().IsShown(), 10000);
    qInfo("notice %lld ms after the step was seen waiting", clock.elapsed());
    QVERIFY2(NoticeText().startsWith(text), qPrintable(NoticeText()));
    QVERIFY(!QApplication::activeModalWidget()); // the window goes on working
    QCOMPARE(int(m_form->State().StepIndex), step); // the step still waits
    if (then == QLatin1String("late")) {
        const QPointer<QMessageBox> box = m_form->Notices().Box();
        QTRY_VERIFY_WITH_TIMEOUT(!box, 10000); // the late reply closed it
        QTRY_VERIFY_WITH_TIMEOUT(m_form->State().WorkMode == ModeIdle, 30000);
        QCOMPARE(m_sim->Received(), QueryCommands());
        VerifyDefaultsInPanel();
    } else if (!then.isEmpty()) {
        if (then == QLatin1String("find")) {
            QVERIFY(PressOnNotice(QStringLiteral("查找波特率")));
            QTRY_VERIFY_WITH_TIMEOUT(m_form->Finder().Running(), 5000);
        }
        QVERIFY(m_form->Finder().Running());
        clock.start();
        QCOMPARE(m_form->State().WorkMode, ModeIdle); // the query is given up
        QTRY_VERIFY_WITH_TIMEOUT(!m_form->Finder().Running(), ModuleFinder::LongestMs() + 5000);
        qInfo("the finder ended after %lld ms", clock.elapsed());
        QVERIFY2(found.isEmpty() ? NoticeText().isEmpty() : NoticeText().startsWith(found),
                 qPrintable(NoticeText()));
        const CommandFamily *family = m_form->State().Family;
        QCOMPARE(QString(family ? family->key : ""), found.contains(u"另一套") ? "pause" : "");
        QCOMPARE(m_form->Port().IsOpen(), rate > 0);
        if (rate == 0) // pulled: the label says so, as for any loss
            QCOMPARE(m_form->Label4->text(), QStringLiteral("端口：1 已断开"));
        else
            QCOMPARE(m_form->Port().BaudRate(), rate);
        QCOMPARE(m_form->Combo1->currentText(), QString::number(rate ? rate : 38400));
    }
    QVERIFY(m_warning.shown.isEmpty());
    // The query goes on in the family found, and the panel says whose module it reads.
    if (m_form->State().Family) {
        QTRY_COMPARE_WITH_TIMEOUT(m_form->Panel().Text1(1), QStringLiteral("BTMODV1.8"), 5000);
        QCOMPARE(m_form->Panel().SourceLabel()->text(), "以停顿结束命令的一类 · V1.8");
        // A rate typed by hand: the port follows the module once it has answered, and the
        // module answers there.
        m_form->Text2->setPlainText(QStringLiteral("AT+BAUD5"));
        m_form->Command5->click();
        QTRY_COMPARE_WITH_TIMEOUT(m_form->Port().BaudRate(), 19200, 5000);
        QCOMPARE(m_form->Combo1->currentText(), QStringLiteral("19200"));
        m_form->Panel().SetText1(1, QString());
        m_form->Command1->click();
        QTRY_COMPARE_WITH_TIMEOUT(m_form->Panel().Text1(1), QStringLiteral("BTMODV1.8"), 5000);
        return;
    }
    // A query at the rate found reads a module of the tool's own, and the result goes.
    if (rate == 9600 && !m_form->State().Family) {
        QVERIFY(RunToEnd(m_form->Command1, 14));
        QVERIFY(!m_form->Notices().IsShown());
    }
}

void TestEndToEnd::batchOfModules()
{
    // Three modules, the second forgetting its PIN, each coming as the last one's port
    // is pulled and plugged back: one key for the first, none for the others.
    QTemporaryDir folder;
    const QString port = folder.filePath("port");
    QVERIFY(Start(
        { "--series", "3", "--forgetful-every", "2", "--swap-after", "1", "--link", port }, port));
    QFile profile(folder.filePath("profile.ini"));
    QVERIFY(profile.open(QIODevice::WriteOnly));
    profile.write("[settings]\nNAME=BENCH-{n:03}\nPSWD=0000\n");
    profile.close();
    const QString record = folder.filePath("record.csv");
    QVERIFY(m_form->StartBatch(profile.fileName(), record, 7));
    QVERIFY(m_form->BatchWindow()->NextButton()->isDefault());
    QTest::keyClick(m_form->BatchWindow()->NextButton(), Qt::Key_Space);
    QTRY_COMPARE_WITH_TIMEOUT(m_form->Batch().Done(), 3, 20000);
    QCOMPARE(m_form->Batch().Passed(), 2);
    const QString last = "通过 · BENCH-008 · 98d3:31:fd5e03";
    QCOMPARE(m_form->BatchWindow()->Verdict()->text(), last);
    QCOMPARE(m_form->Spoken().Said(), last);
    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1 + 3);
    for (const auto &[line, end] :
         { std::pair { 1, ",通过," }, { 2, ",未通过,连接密码未保留" }, { 3, ",通过," } })
        QVERIFY2(lines[line].contains("98d3:31:fd5e0" + QString::number(line))
                     && lines[line].endsWith(end),
                 qPrintable(lines[line]));
    m_form->BatchWindow()->reject();
    QVERIFY(!m_form->Batch().Running());
}

void TestEndToEnd::sequenceOnKey_data()
{
    QTest::addColumn<QString>("file"); // the folder's first, on Ctrl+1
    QTest::addColumn<QStringList>("received"); // by the module
    QTest::addColumn<QString>("said"); // the notice at its end, or the warning
    QTest::newRow("done")
        << "send AT\\r\\n\nexpect OK\nsend AT+NAME?\\r\\n\nexpect /\\+NAME:\\S+/ 1000\n"
        << QStringList { "AT", "AT+NAME?" } << "序列 check 已完成（4 步）。";
    QTest::newRow("a step that fails")
        << "send AT+PSWD\\r\\n\nexpect OK 500\n"
        << QStringList { "AT+PSWD" }
        << "序列 check 的第 2 步“expect OK”没有完成：收到的是“ERROR:(0)”";
    QTest::newRow("a bad line: nothing sent") << "send AT\\r\\n\nexpct OK\n"
                                              << QStringList {} << "警告|序列文件 ";
}

void TestEndToEnd::sequenceOnKey()
{
    QFETCH(QString, file);
    QFETCH(QStringList, received);
    QFETCH(QString, said);
    QVERIFY(Start());
    QVERIFY(QDir().mkpath(m_form->SequenceFolder()));
    QFile sequence(QDir(m_form->SequenceFolder()).filePath("check.txt"));
    QVERIFY(sequence.open(QIODevice::WriteOnly));
    sequence.write(file.toUtf8());
    sequence.close();
    // The menu lists it with its key: the key still runs it, once and not ambiguously.
    for (QAction *entry : m_form->MenuButton->menu()->actions()) {
        if (entry->menu() && entry->text().startsWith("序列"))
            emit entry->menu()->aboutToShow();
    }
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    QTest::keyClick(m_form.get(), Qt::Key_1, Qt::ControlModifier);
    QTRY_VERIFY_WITH_TIMEOUT(!m_form->Sequences().Running(), 5000);
    QCOMPARE(m_sim->Received(), received);
    const QString text = said.startsWith("警告") ? m_warning.shown.value(0) : NoticeText();
    QVERIFY2(text.startsWith(said), qPrintable(text));
}

void TestEndToEnd::shippedFactoryReset()
{
    // A module at 9600: after the reset it talks at 38400, and the port and the panel follow.
    QVERIFY(Start({ "--rate", "9600", "--set", "UART=9600,0,0", "--set", "NAME=BENCH-7" }));
    m_form->Combo1->setCurrentText(QStringLiteral("9600"));
    QCOMPARE(m_form->Port().BaudRate(), 9600);
    const auto reset = std::find_if(ShippedSequences.begin(), ShippedSequences.end(),
                                    [](const ShippedSequence &s) { return s.readAfter; });
    QVERIFY(m_form->RunShipped(*reset));
    QCOMPARE(m_confirm.asked.value(0), "序列“恢复出厂设置”将依次发送：\n1. AT+ORGL");
    QVERIFY(m_confirm.details.value(0).startsWith("模块将恢复出厂设置"));
    QTRY_COMPARE_WITH_TIMEOUT(DoneText(), QStringLiteral("已读取全部 13 项设置"), 20000);
    QCOMPARE(m_form->Port().BaudRate(), 38400);
    QCOMPARE(Text1(0), QStringLiteral("TARVENIT-BT"));
    const QStringList received = m_sim->Received();
    QCOMPARE(received.mid(received.indexOf("AT+ORGL") + 1), QueryCommands());
    QVERIFY(m_warning.shown.isEmpty());
}

// The entry of the window's menu (or one of its menus) whose caption begins with `caption`.
static QAction *MenuEntry(QMenu *menu, const QString &caption)
{
    emit menu->aboutToShow();
    for (QAction *entry : menu->actions()) {
        if (entry->text().startsWith(caption))
            return entry;
    }
    return nullptr;
}

void TestEndToEnd::shippedPairing()
{
    // Two simulators in range of each other: the slave on port 1, the master (firmware 3.0,
    // whose radio started by itself) on port 2.
    QTemporaryDir air;
    Simulator master({ "--air", air.path(), "--firmware", "3" });
    QVERIFY(
        Start({ "--air", air.path(), "--set", "ADDR=98d3:31:fd5e6f" }, "{sim}:" + master.Device()));
    QVERIFY(RunToEnd(m_form->Command1, 14));
    MenuEntry(m_form->Menu().Menu(), "记住本机地址")->trigger();
    QMenu *ports = MenuEntry(m_form->MenuButton->menu(), "端口")->menu();
    MenuEntry(ports, "端口 2")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(m_form->Port().PortNumber(), 2, 5000);
    QVERIFY(m_form->RunShipped(ShippedSequences[0]));
    QVERIFY(m_confirm.details.value(0).startsWith("模块将清空配对列表"));
    QTRY_VERIFY_WITH_TIMEOUT(
        NoticeText().contains("已连接；配对列表中有 1 个设备；最近配对的是 98d3:31:fd5e6f"), 40000);
    QVERIFY(master.Received().contains("AT+LINK=98d3,31,fd5e6f"));
    // The slave sees the link too, read on its own port.
    MenuEntry(ports, "端口 1")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(m_form->Port().PortNumber(), 1, 5000);
    QVERIFY(m_form->RunShipped(ShippedSequences[1]));
    QTRY_VERIFY_WITH_TIMEOUT(NoticeText().contains("序列 读取配对信息 已完成（6 步）。已连接"),
                             10000);
}

void TestEndToEnd::firmwareVersions_data()
{
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<QStringList>("sent"); // the query's step 11, the update's step 4 (PIN 9876)
    QTest::newRow("3.0") << "3" << QStringList { "AT+CMODE", "AT+PSWD=\"9876\"" };
    QTest::newRow("4.0") << "4" << QStringList { "AT+CMODE?", "AT+PSWD=9876" };
}

void TestEndToEnd::firmwareVersions()
{
    QFETCH(QString, firmware);
    QFETCH(QStringList, sent);
    QVERIFY(Start({ "--firmware", firmware }));
    QVERIFY(RunToEnd(m_form->Command1, 14));
    QCOMPARE(m_sim->Received().value(10), sent[0]);
    QCOMPARE(Text1(4), QStringLiteral("1234"));
    QCOMPARE(DoneText(), QStringLiteral("已读取全部 13 项设置"));
    m_form->Panel().Text1Box(4)->setText(QStringLiteral("9876"));
    QVERIFY(RunToEnd(m_form->Command2, 9));
    QCOMPARE(m_sim->Received().value(14 + 3), sent[1]);
    QCOMPARE(DoneText(), QStringLiteral("已写入 9 项设置"));
    QVERIFY(!m_form->Notices().IsShown()); // taken: nothing refused
    QVERIFY(RunToEnd(m_form->Command1, 14));
    QCOMPARE(Text1(4), QStringLiteral("9876"));
    QCOMPARE(DoneText(), QStringLiteral("已保留 9 项设置中的 9 项")); // in the firmware's forms
}

void TestEndToEnd::nameHoldingOk()
{
    QVERIFY(Start({ "--set", "NAME=OKBOOK", "--chunk", "2" }));
    QVERIFY(RunToEnd(m_form->Command1, 14));
    QCOMPARE(Text1(0), QStringLiteral("OKBOOK"));
    QCOMPARE(Text1(1), QStringLiteral("1.4-20250310"));
    QCOMPARE(Text1(3), QStringLiteral("1f00")); // no reply slipped onto the wrong step
    QCOMPARE(Text1(9), QStringLiteral("INITIALIZED"));
    QCOMPARE(m_sim->Received(), QueryCommands());
}

void TestEndToEnd::clearedPanelUpdate()
{
    QVERIFY(Start());
    QVERIFY(RunToEnd(m_form->Command1, 14));
    m_form->Command6->click();
    QVERIFY(RunToEnd(m_form->Command2, 9)); // written once the operator confirms
    QCOMPARE(m_confirm.asked.size(), 1);
    QVERIFY(m_confirm.asked[0].contains(QStringLiteral("以下设置为空：设备名称、设备类、")));
    const QStringList sent = m_sim->Received().mid(14);
    QCOMPARE(sent,
             (QStringList { "AT+NAME=", "AT+ROLE=0", "AT+CLASS=", "AT+PSWD=", "AT+IAC=",
                            "AT+CMODE=0", "AT+BIND=", "AT+INQM=", "AT+UART=" }));
    QCOMPARE(m_sim->Records('>').mid(14 * 2 - 1).count(QStringLiteral("OK")), 2); // role and mode
}

void TestEndToEnd::marksAfterAModuleThatForgets_data()
{
    QTest::addColumn<QString>("then"); // what takes the marks away
    QTest::newRow("an edit of the field") << "edit";
    QTest::newRow("the next update") << "update";
    QTest::newRow("clear") << "clear";
}

void TestEndToEnd::marksAfterAModuleThatForgets()
{
    QFETCH(QString, then);
    QVERIFY(Start({ "--forget" }));
    QVERIFY(RunToEnd(m_form->Command1, 14));
    SettingsPanel &panel = m_form->Panel();
    panel.Text1Box(0)->setText(QStringLiteral("BENCH-7"));
    panel.SetOption(1, true); // master
    QVERIFY(RunToEnd(m_form->Command2, 9));
    QVERIFY(!panel.Marked(1)); // not before the module is read again
    QVERIFY(RunToEnd(m_form->Command1, 14));
    QCOMPARE(DoneText(),
             QStringLiteral("9 项中 2 项未保留：设备名称（写入 BENCH-7，模块回答 "
                            "TARVENIT-BT）、主从角色（写入 主角色，模块回答 从角色）"));
    QCOMPARE(m_form->DoneNotice().Box()->icon(), QMessageBox::Warning);
    for (int step = 1; step <= UpdateSteps; ++step)
        QCOMPARE(panel.Marked(step), step <= 2);
    QCOMPARE(panel.Text1Box(0)->toolTip(), QStringLiteral("写入：BENCH-7，模块回答：TARVENIT-BT"));
    const QString roleTip = panel.Frame(1)->toolTip();
    QCOMPARE(roleTip, QStringLiteral("写入：主角色，模块回答：从角色"));
    QCOMPARE(panel.Text1Box(0)->accessibleDescription(), panel.Text1Box(0)->toolTip());

    const bool edit = then == QLatin1String("edit");
    if (edit)
        QTest::keyClicks(panel.Text1Box(0), QStringLiteral("X"));
    else if (then == QLatin1String("update"))
        QVERIFY(RunToEnd(m_form->Command2, 9));
    else
        m_form->Command6->click();
    QVERIFY(!panel.Marked(1));
    QCOMPARE(panel.Marked(2), edit); // each mark goes with its own field
    QCOMPARE(panel.Text1Box(0)->toolTip(), QString());
    QCOMPARE(panel.Frame(1)->toolTip(), edit ? roleTip : QString());
}

void TestEndToEnd::hangUpMidway()
{
    QVERIFY(Start({ "--hangup-after", "5" }));
    m_form->Command1->click();
    // The query is abandoned with one warning, and the label says the port is gone.
    QTRY_COMPARE_WITH_TIMEOUT(m_warning.shown, QStringList { PortWarning }, 10000);
    QVERIFY(!m_form->Port().IsOpen());
    QCOMPARE(m_form->Label4->text(), QStringLiteral("端口：1 已断开"));
    QCOMPARE(m_form->State().WorkMode, ModeIdle);
    QCOMPARE(m_form->State().AwaitingReply, false);
    QCOMPARE(m_form->State().LastPortTried, qint16(0)); // the next search tries port 1 again
    QCOMPARE(m_sim->Received().size(), 5);
    QCOMPARE(Text1(0), QStringLiteral("TARVENIT-BT"));

    m_form->Command1->click(); // a new query gives up at its first tick, once
    QTRY_COMPARE_WITH_TIMEOUT(m_warning.shown.size(), 2, 10000);
    QCOMPARE(m_form->State().WorkMode, ModeIdle);
    m_form->Text2->setPlainText(QStringLiteral("AT\n"));
    m_form->Command5->click();
    QCOMPARE(m_warning.shown, QStringList(3, PortWarning));
}

void TestEndToEnd::queryAfterUnfinishedReply()
{
    // This module takes a command after a pause and answers it without a final line
    // break, so the reply to a hand-typed command stays an unfinished line in the buffer.
    QVERIFY(Start({ "--pause-ends-line", "30" }));
    m_form->Text2->setPlainText(QStringLiteral("AT+CLASS"));
    m_form->Command5->click();
    QTRY_COMPARE_WITH_TIMEOUT(m_form->State().ReplyBuffer.Text(), QStringLiteral("ERROR:(0)"),
                              10000);
    QVERIFY(RunToEnd(m_form->Command1, 14));
    QCOMPARE(m_sim->Received().mid(1), QueryCommands());
    VerifyDefaultsInPanel();
}

void TestEndToEnd::terminationSignalEndsTheTool_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("platform"); // QT_QPA_PLATFORM
    const QString offscreen = QStringLiteral("offscreen");
    QTest::newRow("SIGTERM") << int(SIGTERM) << QStringList() << offscreen;
    QTest::newRow("SIGINT") << int(SIGINT) << QStringList() << offscreen;
    // Only the -platform option can make this one start.
    QTest::newRow("SIGTERM, Qt's own options")
        << int(SIGTERM) << QStringList { "-platform", "offscreen", "-style", "fusion", "-reverse" }
        << QStringLiteral("none-such");
}

void TestEndToEnd::terminationSignalEndsTheTool()
{
    QFETCH(int, signal);
    QFETCH(QStringList, arguments);
    QFETCH(QString, platform);
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    tool.setProcessEnvironment(environment);
    tool.setProgram(QStringLiteral(TOOL_PATH));
    tool.setArguments(arguments);
    tool.start();
    QVERIFY(tool.waitForStarted());
    // Wait until the tool catches the signal, so that it is not the default action's.
    const auto catches = [&] {
        QFile status(QStringLiteral("/proc/%1/status").arg(tool.processId()));
        if (!status.open(QIODevice::ReadOnly))
            return false;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("SigCgt:"))
                return bool((line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1);
        }
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(catches(), 10000);
    ::kill(pid_t(tool.processId()), signal);
    QVERIFY(tool.waitForFinished(10000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);
}

void TestEndToEnd::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out"); // a pattern for the whole standard output
    QTest::addColumn<QString>("err"); // and for the whole standard error
    const QString help = QStringLiteral("Usage: \\S*tarvenit \\[options\\]\n(.+\n)+\n"
                                        "Options:\n  -h, --help .+\n  -v, --version .+\n"
                                        "(  .+\n)*\n(.+\n)*.*-platform NAME.+\n(.+\n)*");
    const QString version = QStringLiteral("tarvenit \\d+\\.\\d+(\\.\\d+)?\n");
    const auto refused = [](const QString &reason) {
        return QStringLiteral("\\S*tarvenit: %1\nTry '\\S*tarvenit --help' for more "
                              "information\\.\n")
            .arg(QRegularExpression::escape(reason));
    };
    QTest::newRow("--help") << QStringList { "--help" } << 0 << help << QString();
    QTest::newRow("-h") << QStringList { "-h" } << 0 << help << QString();
    QTest::newRow("--version") << QStringList { "--version" } << 0 << version << QString();
    QTest::newRow("-v") << QStringList { "-v" } << 0 << version << QString();
    QTest::newRow("Qt's option and its value")
        << QStringList { "-platform", "xcb", "-v" } << 0 << version << QString();
    QTest::newRow("unknown long option")
        << QStringList { "--bogus" } << 2 << QString() << refused("Unknown option '--bogus'.");
    QTest::newRow("unknown short option")
        << QStringList { "-x" } << 2 << QString() << refused("Unknown option '-x'.");
    QTest::newRow("unknown option beside --help")
        << QStringList { "--help", "--port=3" } << 2 << QString()
        << refused("Unknown option '--port'.");
    QTest::newRow("Qt's option without its value") << QStringList { "-platform" } << 2 << QString()
                                                   << refused("Missing value after '-platform'.");
    QTest::newRow("argument") << QStringList { "COM3" } << 2 << QString()
                              << refused("Unexpected argument 'COM3'.");
    QTest::newRow("a language") << QStringList { "--lang", "en", "-v" } << 0 << version
                                << QString();
    QTest::newRow("a language there is not") << QStringList { "--lang", "fr" } << 2 << QString()
                                             << refused("Unknown language 'fr' (choose zh or en).");
    const auto noDisplay = [](const QString &reason) {
        return QStringLiteral("\\S*tarvenit: cannot open its window: %1\\. It needs a graphical "
                              "session: start it on the desktop, or over SSH with X forwarding "
                              "\\(ssh -X\\)\\.\n")
            .arg(QRegularExpression::escape(reason));
    };
    QTest::newRow("no display") << QStringList() << 1 << QString()
                                << noDisplay("no display (DISPLAY is not set)");
    // Qt's own warnings name the display before the tool says what to do.
    QTest::newRow("display that cannot be reached")
        << QStringList { "-display", ":9999" } << 1 << QString()
        << "(.+\n)+" + noDisplay("the display could not be reached");
}

void TestEndToEnd::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    // Answered without a display: none is named, and no platform either.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
        environment.remove(QString::fromLatin1(name));
    QProcess tool;
    tool.setProcessEnvironment(environment);
    tool.start(QStringLiteral(TOOL_PATH), arguments);
    QVERIFY(tool.waitForFinished(10000));
    const QString printed = QString::fromLocal8Bit(tool.readAllStandardOutput());
    const QString complained = QString::fromLocal8Bit(tool.readAllStandardError());
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), status);
    const auto matches = [](const QString &pattern, const QString &text) {
        return QRegularExpression(QRegularExpression::anchoredPattern(pattern))
            .match(text)
            .hasMatch();
    };
    QVERIFY2(matches(out, printed), qPrintable(printed));
    QVERIFY2(matches(err, complained), qPrintable(complained));
    // Fits a terminal of 80 columns.
    for (const QString &line : printed.split(QLatin1Char('\n')))
        QVERIFY2(line.size() <= 80, qPrintable(line));
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
