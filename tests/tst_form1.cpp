// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/arrivalspeech.h"
#include "app/commandbox.h"
#include "app/form1.h"
#include "app/language.h"
#include "app/noticebox.h"
#include "app/spoken.h"
#include "common/wholetext.h"
#include "console/consoleview.h"
#include "console/framebatcher.h"
#include "engine/families/families.h"
#include "engine/settingcheck.h"
#include "engine/update.h"
#include "fakes.h"
#include "panel/panelmenu.h"
#include "panel/settingspanel.h"
#include "serial/serialport.h"

#include <QAccessible>
#include <QBackingStore>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>
#include <QtTest>

#include <memory>

class TestForm1 : public QObject
{
    Q_OBJECT

    std::optional<TemporaryPreferences> m_preferences;
    std::unique_ptr<Form1> m_form;
    FakeWarning m_warning;
    FakeConfirm m_confirm;

    // Appends and draws at once, as the window does before it paints.
    void Append(const QString &text, QRgb colour = qRgb(0, 0, 255))
    {
        m_form->Batcher().Append(text, colour, text.toUtf8());
        m_form->Batcher().Flush();
    }
    // A key as the keyboard sends it: to the control that has the focus.
    static void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }
    // The window anew, in a language.
    [[nodiscard]] bool Speak(const QString &language)
    {
        if (!UseLanguage(language))
            return false;
        m_form = std::make_unique<Form1>();
        m_form->SetWarningBox(&m_warning);
        m_form->SetConfirmBox(&m_confirm);
        m_form->show();
        return QTest::qWaitForWindowExposed(m_form.get());
    }
    QString Status() const
    {
        return m_form->Label1->text() + QLatin1Char('|') + m_form->Label2->text() + QLatin1Char('|')
            + m_form->Label3->text();
    }

private slots:
    void init()
    {
        // Ports that never open: empty entries (an empty value would unset it on Windows,
        // where COM1 of wine may be a real line).
        qputenv("TARVENIT_PORTS", QByteArray(1, QDir::listSeparator().toLatin1()));
        m_preferences.emplace();
        m_form = std::make_unique<Form1>();
        m_warning.shown.clear();
        m_warning.details.clear();
        m_form->SetWarningBox(&m_warning);
        m_confirm.asked.clear();
        m_form->SetConfirmBox(&m_confirm);
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }
    void cleanup()
    {
        m_form.reset();
        UseLanguage(QStringLiteral("zh"));
    }

    void startUpDefaults();
    void geometry_data();
    void geometry();
    void layoutFollowsSize_data();
    void layoutFollowsSize();
    void captions();
    void chooseLanguage_data();
    void chooseLanguage();
    void englishWindow();
    void qtTextsInTheLanguage_data();
    void qtTextsInTheLanguage();
    void wholeTextShown_data();
    void wholeTextShown();
    void tabOrder();
    void optionGroupIsOneTabStop_data();
    void optionGroupIsOneTabStop();
    void arrowKeysMoveWithinAGroup();
    void typedRate_data();
    void typedRate();
    void enterPressesOnlyAFocusedButton_data();
    void enterPressesOnlyAFocusedButton();
    void keysWithANoticeUp_data();
    void keysWithANoticeUp();
    void statusAfterAppends_data();
    void statusAfterAppends();
    void clickIntoTheMiddle();
    void clearConsole();
    void appendKeepsFocus_data();
    void appendKeepsFocus();
    void newestLineStaysInView();
    void batchKeepsOrderAndColours();
    void textCompleteBeforePaintAndKeys();
    void drawsOncePerFrame_data();
    void drawsOncePerFrame();
    void caretKeys_data();
    void caretKeys();
    void wrap_data();
    void wrap();
    void startButtonsSetTheMode();
    void warningBoxIsModalAndTicksGoOn();
    void warningsRaisedWhileABoxIsOpenWait();
    void noticeLeavesTheWindowUsable();
    void noticeHidesNoField();
    void spokenWithoutFocus_data();
    void spokenWithoutFocus();
    void arrivalsSpoken_data();
    void arrivalsSpoken();
    void accessibleParts_data();
    void accessibleParts();
    void consoleHeldFromAnywhere();
    void panelRows_data();
    void panelRows();
    void panelFieldsKeepText_data();
    void panelFieldsKeepText();
    void settingsBoxPaste_data();
    void settingsBoxPaste();
    void optionGroupsExclusiveAndClear();
    void commandBoxKeptForTheNextRun();
    void historyOfTwoCopies();
    void ctrlEnterSends_data();
    void ctrlEnterSends();
    void guardedCommandAsks_data();
    void guardedCommandAsks();
    void panelMenu_data();
    void panelMenu();
    void updateAsksFirst_data();
    void updateAsksFirst();
};

void TestForm1::startUpDefaults()
{
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Tarvenit"));
    // The design's size under the window's menu, and free to grow or shrink.
    const QWidget *client = m_form->findChild<QWidget *>(QStringLiteral("Client"));
    QCOMPARE(client->size(), QSize(623, 548));
    QCOMPARE(m_form->width(), 623);
    QVERIFY(m_form->minimumWidth() < 623 && m_form->maximumWidth() > 623);
    QCOMPARE(m_form->windowIcon().availableSizes().value(0), QSize(48, 48));

    QStringList bauds;
    for (int i = 0; i < m_form->Combo1->count(); ++i)
        bauds << m_form->Combo1->itemText(i);
    QCOMPARE(
        bauds,
        (QStringList { "1200", "2400", "4800", "9600", "14400", "19200", "38400", "56000", "57600",
                       "115200", "128000", "230400", "256000", "460800", "921600", "1382400" }));
    QCOMPARE(m_form->Combo1->currentText(), QStringLiteral("38400"));
    QCOMPARE(m_form->Combo1->currentIndex(), 6); // the arrow keys go on from its entry
    QVERIFY(m_form->Combo1->isEditable());
    QCOMPARE(m_form->Label4->text(), QStringLiteral("端口：未打开"));
    QCOMPARE(m_form->State().WorkMode, ModeIdle);
    QCOMPARE(m_form->State().LastPortTried, qint16(0));
    QCOMPARE(m_form->Timer1->interval(), 10);
    QCOMPARE(Status(), QStringLiteral("当前行号： 1|当前位置： 0|总的行数： 1"));
    QCOMPARE(QApplication::focusWidget(), m_form->RichTextBox1);
    for (QWidget *w :
         { static_cast<QWidget *>(m_form->Label4), static_cast<QWidget *>(m_form->Label5) })
        QCOMPARE(w->palette().color(QPalette::WindowText), QColor(Qt::black));
    QCOMPARE(m_form->Combo1->palette().color(QPalette::Text), QColor(Qt::black));
    QVERIFY(!m_form->RichTextBox1->accessibleName().isEmpty());
    QVERIFY(!m_form->Text2->accessibleName().isEmpty());
}

void TestForm1::geometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");
    QTest::newRow("MenuButton, in the free corner") << "MenuButton" << QRect(2, 14, 17, 29);
    QTest::newRow("Command4") << "Command4" << QRect(21, 14, 78, 29);
    QTest::newRow("Combo1") << "Combo1" << QRect(154, 21, 78, 20);
    QTest::newRow("Command6") << "Command6" << QRect(525, 14, 85, 29);
    QTest::newRow("RichTextBox1") << "RichTextBox1" << QRect(14, 56, 319, 414);
    QTest::newRow("Label3") << "Label3" << QRect(231, 476, 105, 25);
    QTest::newRow("Text2") << "Text2" << QRect(343, 427, 267, 71);
    QTest::newRow("Command5") << "Command5" << QRect(343, 504, 270, 34);
    QTest::newRow("Text1(0)") << "Text1_0" << QRect(413, 56, 197, 22);
    QTest::newRow("Label6(8)") << "Label6_8" << QRect(343, 370, 148, 22);
    QTest::newRow("Text1(11)") << "Text1_11" << QRect(525, 392, 85, 22);
    QTest::newRow("Frame1") << "Frame1" << QRect(406, 140, 211, 22);
    QTest::newRow("Option3 in Frame1") << "Option3" << QRect(133, 7, 71, 15);
    QTest::newRow("Option4 in Frame2") << "Option4" << QRect(0, 7, 71, 15);
}

void TestForm1::geometry()
{
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    const QWidget *widget = m_form->findChild<QWidget *>(name);
    QVERIFY(widget);
    QCOMPARE(widget->geometry(), rect);
}

void TestForm1::layoutFollowsSize_data()
{
    QTest::addColumn<QSize>("client"); // the room under the menu
    QTest::newRow("the design") << QSize(623, 548);
    QTest::newRow("1280x1024") << QSize(1280, 990);
    QTest::newRow("wider only") << QSize(1000, 548);
    QTest::newRow("1366x768 at 1.5") << QSize(906, 450);
    QTest::newRow("1920x1080 at 2") << QSize(956, 480);
}

void TestForm1::layoutFollowsSize()
{
    QFETCH(QSize, client);
    auto *scroll = m_form->findChild<QScrollArea *>(QStringLiteral("ClientScroll"));
    m_form->resize(client.width(), client.height() + scroll->y());
    QTRY_COMPARE_WITH_TIMEOUT(scroll->size(), client, 2000);
    const QSize extra = (client - QSize(623, 548)).expandedTo(QSize(0, 0));
    const int half = extra.width() / 2;
    QCOMPARE(m_form->RichTextBox1->geometry(), QRect(14, 56, 319 + half, 414 + extra.height()));
    QCOMPARE(m_form->Text2->geometry(),
             QRect(343 + half, 427, 267 + extra.width() - half, 71 + extra.height()));
    QCOMPARE(m_form->Command5->geometry().topLeft(), QPoint(343 + half, 504 + extra.height()));
    // The panel's rows keep their places beside the console.
    QCOMPARE(m_form->Panel().Text1Box(0)->geometry(), QRect(413 + half, 56, 197, 22));
    QCOMPARE(m_form->Panel().Label6(8)->geometry(), QRect(343 + half, 370, 148, 22));
    QCOMPARE(m_form->Command1->x() - m_form->RichTextBox1->geometry().right(), 343 - 332);
    // Every control inside the client, which scrolls where the window is smaller.
    const QWidget *area = scroll->widget();
    for (const QWidget *control : area->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        QVERIFY2(area->rect().contains(control->geometry()), qPrintable(control->objectName()));
    QCOMPARE(scroll->verticalScrollBar()->maximum() > 0, client.height() < 548);
    QCOMPARE(scroll->horizontalScrollBar()->maximum() > 0, client.width() < 623);
}

void TestForm1::captions()
{
    QCOMPARE(m_form->Command1->text(), QStringLiteral("获取模块信息"));
    QCOMPARE(m_form->Command2->text(), QStringLiteral("更新模块信息"));
    QCOMPARE(m_form->Command3->text(), QStringLiteral("清 空 显 示"));
    QCOMPARE(m_form->Command4->text(), QStringLiteral("搜索端口"));
    QCOMPARE(m_form->Command5->text(), QStringLiteral("发 送 命 令"));
    QCOMPARE(m_form->Command6->text(), QStringLiteral("清除表格数据"));
    QCOMPARE(m_form->Label5->text(), QStringLiteral("波特率："));
    // Read aloud: the buttons as words, not spelt; the baud list with its label.
    const auto name = [](QObject *control) {
        return QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
    };
    QCOMPARE(name(m_form->Command3), QStringLiteral("清空显示"));
    QCOMPARE(name(m_form->Command5), QStringLiteral("发送命令"));
    QCOMPARE(name(m_form->Command4), QStringLiteral("搜索端口"));
    const auto labels
        = QAccessible::queryAccessibleInterface(m_form->Combo1)->relations(QAccessible::Label);
    QCOMPARE(labels.size(), 1);
    QCOMPARE(labels.first().first->object(), m_form->Label5);
    QCOMPARE(name(m_form->Label5), QStringLiteral("波特率："));
}

void TestForm1::chooseLanguage_data()
{
    QTest::addColumn<QString>("asked"); // --lang, or TARVENIT_LANG
    QTest::addColumn<QStringList>("system"); // the preferred languages, first first
    QTest::addColumn<QString>("chosen");
    QTest::newRow("C locale") << "" << QStringList { "C" } << "zh";
    QTest::newRow("POSIX") << "" << QStringList { "POSIX" } << "zh";
    QTest::newRow("nothing known") << "" << QStringList {} << "zh";
    QTest::newRow("Chinese") << "" << QStringList { "zh-CN", "zh-Hans-CN", "zh" } << "zh";
    QTest::newRow("Chinese of Taiwan") << "" << QStringList { "zh-TW", "en" } << "zh";
    QTest::newRow("English") << "" << QStringList { "en-US", "en" } << "en";
    QTest::newRow("German: no file of its own") << "" << QStringList { "de-DE", "zh-CN" } << "en";
    QTest::newRow("a language with a file") << "" << QStringList { "xx-YY" } << "xx";
    QTest::newRow("asked for English") << "en" << QStringList { "zh-CN" } << "en";
    QTest::newRow("asked for Chinese") << "zh" << QStringList { "en-US" } << "zh";
    QTest::newRow("asked for one there is not") << "fr" << QStringList { "en-US" } << "";
}

void TestForm1::chooseLanguage()
{
    QFETCH(QString, asked);
    QFETCH(QStringList, system);
    QFETCH(QString, chosen);
    QCOMPARE(ChooseLanguage(asked, system, { "zh", "en", "xx" }), chosen);
}

void TestForm1::englishWindow()
{
    QCOMPARE(AvailableLanguages(), (QStringList { "zh", "en" }));
    QVERIFY(Speak(QStringLiteral("en")));
    QCOMPARE(m_form->Command1->text(), QStringLiteral("Read all"));
    QCOMPARE(m_form->Command4->text(), QStringLiteral("Search port"));
    QCOMPARE(m_form->Panel().Label6(8)->text(), QStringLiteral("UART (data mode):"));
    const QStringList options { "Master", "Slave", "Loop", "Any", "Bound", "Loop" };
    for (int number = 1; number <= 6; ++number)
        QCOMPARE(m_form->Panel().OptionButton(number)->text(), options[number - 1]);
    // Every caption at the window's size, clear of the control to its right.
    if (QFontDatabase::families().isEmpty())
        return; // no fonts to measure with (Qt's offscreen platform on Windows)
    SettingsPanel &panel = m_form->Panel();
    for (QWidget *control : m_form->findChildren<QWidget *>()) {
        const bool caption
            = qobject_cast<QAbstractButton *>(control) || qobject_cast<QLabel *>(control);
        // The console has its own; an option's caption may be set smaller to end clear of
        // the next option.
        const bool option = qobject_cast<QRadioButton *>(control);
        // The batch's box is a window of its own, its verdict big on purpose.
        if (caption && !option && !m_form->RichTextBox1->isAncestorOf(control)
            && control->window() == m_form.get())
            QVERIFY2(control->font() == m_form->font(), qPrintable(control->objectName()));
    }
    const auto textRight = [](QWidget *control, const QString &text, int left) {
        return control->mapTo(control->window(), QPoint(left, 0)).x()
            + control->fontMetrics().horizontalAdvance(text);
    };
    for (int number : { 1, 2, 4, 5 }) {
        QRadioButton *option = panel.OptionButton(number);
        QStyleOptionButton style;
        style.initFrom(option);
        const int left
            = option->style()->subElementRect(QStyle::SE_RadioButtonContents, &style, option).x();
        QVERIFY2(textRight(option, option->text(), left) + 6
                     <= panel.OptionButton(number + 1)->mapTo(m_form.get(), QPoint()).x(),
                 qPrintable(option->text()));
    }
    QVERIFY(textRight(panel.Label6(9), panel.Label6(9)->text(), 0) + 6
            <= panel.OptionButton(4)->mapTo(m_form.get(), QPoint()).x());
    QCOMPARE(Status(), QStringLiteral("Line: 1|Line offset: 0|Lines: 1"));
    QCOMPARE(m_form->Label4->text(), QStringLiteral("Port: not open"));
    // Read aloud in English too, the words of a caption kept apart.
    const auto name = [](QObject *control) {
        return QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
    };
    QCOMPARE(name(m_form->Command3), QStringLiteral("Clear display"));
    QCOMPARE(name(m_form->RichTextBox1), QStringLiteral("Traffic log"));
    QCOMPARE(name(m_form->Panel().Text1Box(0)), QStringLiteral("Name:"));
    // The boxes speak English.
    m_form->Command5->click(); // no port open
    QCOMPARE(m_warning.shown,
             QStringList { "Warning|No port is open yet. Click Search port first." });
    QCOMPARE(m_form->RichTextBox1->ContextMenu()->actions().first()->text().section('\t', 0, 0),
             QStringLiteral("&Copy"));
}

void TestForm1::qtTextsInTheLanguage_data()
{
    QTest::addColumn<QString>("cancel"); // Qt's file dialog
    QTest::addColumn<QString>("reason"); // of a save into a folder that is not there
    QTest::newRow("zh") << QStringLiteral("取消") << "此文件或目录不存在";
    QTest::newRow("en") << QStringLiteral("Cancel") << "No such file or directory";
}

void TestForm1::qtTextsInTheLanguage()
{
    QFETCH(QString, cancel);
    QFETCH(QString, reason);
#ifdef Q_OS_WIN
    QSKIP("Qt's translations are beside the installed program, not beside the tests");
#endif
    QVERIFY(Speak(QTest::currentDataTag()));
    QFileDialog dialog(m_form.get());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    QCOMPARE(dialog.labelText(QFileDialog::Reject), cancel);
    const SaveOutcome saved
        = m_form->RichTextBox1->SaveTo(QDir::temp().filePath(QStringLiteral("absent/a.txt")));
    QCOMPARE(saved.result, SaveOutcome::Failed);
    QVERIFY2(saved.reason.contains(reason), qPrintable(saved.reason));
}

void TestForm1::wholeTextShown_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("status"); // set as the status line would, else the caption
    const std::pair<const char *, QStringList> statusLines[] = {
        { "zh",
          { "当前行号： 1234567", "当前位置： 9876543", "总的行数： 1234567", "端口：16 已断开",
            "端口：12 已打开 · ttyUSB0", "发现 ttyUSB10" } },
        { "en",
          { "Line: 1234567", "Line offset: 9876543", "Lines: 1234567", "Port 16: lost",
            "Port 12: open · ttyUSB0", "Found ttyUSB10" } },
    };
    for (const auto &[language, status] : statusLines) {
        const auto row = [&](const QString &name) -> QTestData & {
            return QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(language, name)))
                << QString::fromLatin1(language);
        };
        row("seven-digit line number") << "Label1" << status[0];
        row("seven-digit position") << "Label2" << status[1];
        row("seven-digit line count") << "Label3" << status[2];
        row("port") << "Label4" << status[3];
        row("port open") << "Label4" << status[4];
        row("one port at start") << "Label4" << status[5];
        const Form1 form;
        for (const QWidget *w : form.findChildren<QWidget *>()) {
            const auto *label = qobject_cast<const QLabel *>(w);
            const auto *button = qobject_cast<const QAbstractButton *>(w);
            const bool captioned
                = (label && !label->text().isEmpty()) || (button && !button->text().isEmpty());
            // The port label's texts are the rows above: at start it names what the system has.
            if (captioned && !w->objectName().isEmpty() && w->objectName() != "Label4")
                row(w->objectName()) << w->objectName() << QString();
        }
    }
}

void TestForm1::wholeTextShown()
{
    QFETCH(QString, language);
    QFETCH(QString, name);
    QFETCH(QString, status);
    if (QFontDatabase::families().isEmpty())
        QSKIP("no fonts to draw with (Qt's offscreen platform on Windows)");
    QVERIFY(Speak(language));
    QWidget *control = m_form->findChild<QWidget *>(name);
    QVERIFY(control);
    auto *label = qobject_cast<QLabel *>(control);
    auto *button = qobject_cast<QAbstractButton *>(control);
    auto *radio = qobject_cast<QRadioButton *>(control);
    if (!status.isEmpty())
        SetWholeText(label, status);
    QVERIFY(control->font().pointSizeF() >= MinimumPointSize);

    // Where the style draws the caption, and whether it centres it there.
    QRect contents = control->contentsRect();
    QStyleOptionButton option;
    option.initFrom(control);
    if (button) {
        contents = control->style()->subElementRect(radio ? QStyle::SE_RadioButtonContents
                                                          : QStyle::SE_PushButtonContents,
                                                    &option, control);
    }
    const bool centred = button && !radio;
    for (const QWidget *next : control->parentWidget()->findChildren<QRadioButton *>()) {
        if (radio && next->x() > radio->x()) // an option's caption ends before the next one
            contents.setRight(std::min(contents.right(), next->x() - radio->x() - 1));
    }

    // Drawn with room to spare on both sides, the caption's ink (what changes when the
    // caption is taken away) stays inside that rectangle.
    const QString text = label ? label->text() : button->text();
    const auto setText = [&](const QString &caption) {
        label ? label->setText(caption) : button->setText(caption);
    };
    constexpr int Spare = 200;
    const QSize size = control->size();
    control->resize(size.width() + 2 * Spare, size.height());
    const QImage drawn = control->grab().toImage();
    setText(QString());
    const QImage blank = control->grab().toImage();
    setText(text);
    control->resize(size);

    const QRect inside = contents.translated(centred ? Spare : 0, 0);
    const qreal ratio = drawn.devicePixelRatio();
    bool inked = false;
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 0; x < drawn.width(); ++x) {
            if (drawn.pixel(x, y) == blank.pixel(x, y))
                continue;
            inked = true;
            const QPoint at(qFloor(x / ratio), qFloor(y / ratio));
            QVERIFY2(inside.contains(at),
                     qPrintable(QStringLiteral("%1: ink at %2,%3 outside %4,%5 %6x%7")
                                    .arg(text)
                                    .arg(at.x())
                                    .arg(at.y())
                                    .arg(inside.x())
                                    .arg(inside.y())
                                    .arg(inside.width())
                                    .arg(inside.height())));
        }
    }
    QVERIFY(inked);
}

void TestForm1::tabOrder()
{
    SettingsPanel &panel = m_form->Panel();
    QList<QWidget *> expected = { m_form->RichTextBox1, m_form->Command3, m_form->Command4,
                                  m_form->Combo1,       m_form->Command1, m_form->Command2 };
    for (int index : { 0, 1, 2, 3, 4, 5, 7, 8, 9, 10, 11 })
        expected << panel.Text1Box(index);
    for (int n = 1; n <= 6; ++n)
        expected << panel.OptionButton(n);
    expected << m_form->Text2 << m_form->Command5 << m_form->Command6;

    QList<QWidget *> chain;
    QWidget *w = m_form->RichTextBox1;
    for (int i = 0; i < expected.size(); ++i, w = w->nextInFocusChain()) {
        while (!expected.contains(w)) // the widgets' own internals (scroll bars …)
            w = w->nextInFocusChain();
        chain << w;
    }
    QCOMPARE(chain, expected);
}

void TestForm1::optionGroupIsOneTabStop_data()
{
    QTest::addColumn<int>("group"); // 1 role, 2 connection mode
    QTest::addColumn<int>("selected"); // option of the group selected by the query, 0 none
    for (int group : { 1, 2 }) {
        const int first = group == 1 ? 1 : 4;
        const QString name = group == 1 ? QStringLiteral("role") : QStringLiteral("mode");
        QTest::addRow("%s, none selected", qPrintable(name)) << group << 0;
        for (int i = 0; i < 3; ++i)
            QTest::addRow("%s, Option%d selected", qPrintable(name), first + i)
                << group << first + i;
    }
}

void TestForm1::optionGroupIsOneTabStop()
{
    QFETCH(int, group);
    QFETCH(int, selected);
    SettingsPanel &panel = m_form->Panel();
    const int first = group == 1 ? 1 : 4;
    const auto selection = [&panel] {
        QList<int> on;
        for (int n = 1; n <= 6; ++n) {
            if (panel.Option(n))
                on << n;
        }
        return on;
    };
    if (selected) // the operator has been in the group before the query selects an option
        panel.OptionButton(first)->setFocus(Qt::TabFocusReason);
    panel.Text1Box(11)->setFocus(Qt::TabFocusReason);
    if (selected)
        panel.SetOption(selected, true);
    const QList<int> before = selection();

    for (int i = 0; i < group; ++i)
        Press(Qt::Key_Tab);
    QWidget *stop = panel.OptionButton(selected ? selected : first);
    QCOMPARE(QApplication::focusWidget(), stop);
    Press(Qt::Key_Space);
    // A selection stays; with none, Space selects the option that has the focus.
    QCOMPARE(selection(), selected ? before : before + QList<int> { first });

    // One Tab leaves the group, one Backtab comes back to the same option.
    Press(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(),
             group == 1 ? static_cast<QWidget *>(panel.OptionButton(4)) : m_form->Text2);
    Press(Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), stop);
    Press(Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(),
             group == 1 ? static_cast<QWidget *>(panel.Text1Box(11))
                        : panel.OptionButton(first - 3));
}

void TestForm1::arrowKeysMoveWithinAGroup()
{
    SettingsPanel &panel = m_form->Panel();
    panel.Text1Box(11)->setFocus(Qt::TabFocusReason);
    Press(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), panel.OptionButton(1));
    // Nothing selected: the arrows move the focus only.
    Press(Qt::Key_Right);
    QCOMPARE(QApplication::focusWidget(), panel.OptionButton(2));
    QVERIFY(!panel.Option(2));
    Press(Qt::Key_Tab);
    Press(Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), panel.OptionButton(1));

    // Once one is selected, the arrows move the selection with the focus.
    Press(Qt::Key_Space);
    Press(Qt::Key_Right);
    Press(Qt::Key_Right);
    QCOMPARE(QApplication::focusWidget(), panel.OptionButton(3));
    QVERIFY(panel.Option(3) && !panel.Option(1) && !panel.Option(2));
    Press(Qt::Key_Tab);
    Press(Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), panel.OptionButton(3));
}

void TestForm1::typedRate_data()
{
    QTest::addColumn<QString>("typed"); // over the list's text
    QTest::addColumn<int>("end"); // the key that ends it: Enter, Tab (leaving the list), or none
    QTest::addColumn<int>("set"); // the rate given to the port; 0: none
    QTest::addColumn<QString>("shown"); // in the list after
    const int enter = Qt::Key_Return, leave = Qt::Key_Tab;
    QTest::newRow("Enter") << "1382400" << enter << 1382400 << "1382400";
    QTest::newRow("leaving the list") << "31250" << leave << 31250 << "31250";
    QTest::newRow("still typing: nothing set") << "1200" << 0 << 0 << "1200";
    QTest::newRow("a letter is not taken") << "12a" << enter << 0 << "38400";
    QTest::newRow("0: the port's rate again") << "0" << enter << 0 << "38400";
    QTest::newRow("empty: the port's rate again") << "" << leave << 0 << "38400";
    QTest::newRow("refused by the adapter") << "921600" << enter << 921600 << "38400";
}

void TestForm1::typedRate()
{
    QFETCH(QString, typed);
    QFETCH(int, end);
    QFETCH(int, set);
    QFETCH(QString, shown);
    QList<int> given;
    m_form->Port().SetBaudRateForTest([&](QSerialPort &port, int rate) {
        return given << rate, rate != 921600 && port.setBaudRate(rate);
    });
    m_form->activateWindow();
    m_form->Combo1->setFocus();
    QTRY_VERIFY_WITH_TIMEOUT(m_form->Combo1->hasFocus(), 5000);
    m_form->Combo1->lineEdit()->selectAll();
    QTest::keyClicks(m_form->Combo1, typed.isEmpty() ? QStringLiteral("\b") : typed);
    QVERIFY(given.isEmpty()); // not at each digit
    if (end)
        QTest::keyClick(m_form->Combo1, Qt::Key(end));
    QCOMPARE(given, set ? QList<int> { set } : QList<int> {});
    QCOMPARE(m_form->Combo1->currentText(), shown);
    QCOMPARE(m_form->Port().BaudRate(), end ? shown.toInt() : 38400);
    const bool refused = set && QString::number(set) != shown;
    QCOMPARE(m_warning.shown,
             refused ? QStringList { "警告|适配器不接受波特率 921600" } : QStringList {});
    QCOMPARE(m_form->Combo1->count(), 16); // a typed rate stays out of the list
    // One set with Enter is said, as one chosen with the arrow keys.
    QCOMPARE(m_form->Spoken().Said(), end == Qt::Key_Return && set && !refused ? shown : "");
}

void TestForm1::enterPressesOnlyAFocusedButton_data()
{
    QTest::addColumn<QString>("focused");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("pressed"); // the focused control is a button and is pressed
    for (const char *button :
         { "Command1", "Command2", "Command3", "Command4", "Command5", "Command6" }) {
        QTest::addRow("%s, Enter", button) << button << int(Qt::Key_Return) << true;
        QTest::addRow("%s, keypad Enter", button) << button << int(Qt::Key_Enter) << true;
    }
    QTest::newRow("command box, Enter") << "Text2" << int(Qt::Key_Return) << false;
    QTest::newRow("command box, keypad Enter") << "Text2" << int(Qt::Key_Enter) << false;
    QTest::newRow("settings field") << "Text1_0" << int(Qt::Key_Return) << false;
    QTest::newRow("baud list") << "Combo1" << int(Qt::Key_Return) << false;
    QTest::newRow("option") << "Option2" << int(Qt::Key_Return) << false;
}

void TestForm1::enterPressesOnlyAFocusedButton()
{
    QFETCH(QString, focused);
    QFETCH(int, key);
    QFETCH(bool, pressed);
    QList<QPushButton *> buttons = m_form->findChildren<QPushButton *>();
    buttons.removeIf(
        [this](const QPushButton *button) { return button->window() != m_form.get(); });
    QCOMPARE(buttons.size(), 6); // the window's own, not those of the batch's box
    std::vector<std::unique_ptr<QSignalSpy>> clicks;
    for (QPushButton *button : buttons)
        clicks.push_back(std::make_unique<QSignalSpy>(button, &QPushButton::clicked));
    QWidget *control = m_form->findChild<QWidget *>(focused);
    QVERIFY(control);
    control->setFocus(Qt::TabFocusReason);
    QCOMPARE(QApplication::focusWidget(), control);

    Press(Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    for (qsizetype i = 0; i < buttons.size(); ++i)
        QCOMPARE(clicks[i]->count(), pressed && buttons[i] == control ? 1 : 0);
    // The command box takes the line break that the module needs.
    QCOMPARE(m_form->Text2->Command().bytes, focused == QLatin1String("Text2") ? "\r\n" : "");
}

void TestForm1::keysWithANoticeUp_data()
{
    QTest::addColumn<QString>("focused");
    QTest::addColumn<int>("key"); // pressed twice, the second time held when `held`
    QTest::addColumn<QString>("notice"); // which of the window's
    QTest::addColumn<bool>("held");
    QTest::addColumn<int>("clicks"); // of the focused control
    const int escape = Qt::Key_Escape, enter = Qt::Key_Return, space = Qt::Key_Space;
    QTest::newRow("Escape, console") << "RichTextBox1" << escape << "notice" << false << 0;
    QTest::newRow("Escape, command box") << "Text2" << escape << "shared" << false << 0;
    QTest::newRow("Escape, settings box") << "Text1_0" << escape << "done" << false << 0;
    QTest::newRow("Escape, baud list") << "Combo1" << escape << "notice" << false << 0;
    // The first Enter or Space on a start button closes the notice; the next one presses.
    QTest::newRow("Enter, 获取模块信息") << "Command1" << enter << "notice" << false << 1;
    QTest::newRow("keypad Enter, 更新模块信息")
        << "Command2" << int(Qt::Key_Enter) << "done" << false << 1;
    QTest::newRow("Space, 获取模块信息") << "Command1" << space << "shared" << false << 1;
    QTest::newRow("Enter held, 获取模块信息") << "Command1" << enter << "done" << true << 0;
    QTest::newRow("Enter, 清除表格数据: pressed") << "Command6" << enter << "notice" << false << 2;
}

void TestForm1::keysWithANoticeUp()
{
    QFETCH(QString, notice);
    QFETCH(QString, focused);
    QFETCH(int, key);
    QFETCH(bool, held);
    QFETCH(int, clicks);
    NoticeBox &box = notice == "done" ? m_form->DoneNotice()
        : notice == "shared"          ? m_form->SharedNotice()
                                      : m_form->Notices();
    box.Show({ QStringLiteral("提示"), QStringLiteral("notice"), {}, {}, {} });
    QWidget *control = m_form->findChild<QWidget *>(focused);
    QVERIFY(control);
    control->setFocus(Qt::TabFocusReason);
    auto *button = qobject_cast<QPushButton *>(control);
    QSignalSpy clicked(button ? button : m_form->Command1, &QPushButton::clicked);
    const Qt::KeyboardModifiers modifiers
        = key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier;

    held ? QTest::keyPress(control, Qt::Key(key), modifiers) : Press(Qt::Key(key), modifiers);
    QCOMPARE(box.IsShown(), focused == "Command6");
    QCOMPARE(m_form->State().WorkMode, ModeIdle); // nothing asked of the module
    if (held) {
        QKeyEvent repeat(QEvent::KeyPress, key, modifiers, QString(), true);
        QApplication::sendEvent(control, &repeat);
        QTest::keyRelease(control, Qt::Key(key), modifiers);
    } else
        Press(Qt::Key(key), modifiers);
    QCOMPARE(button ? clicked.count() : 0, clicks);
}

void TestForm1::statusAfterAppends_data()
{
    QTest::addColumn<QStringList>("appends");
    QTest::addColumn<QString>("status");
    QTest::newRow("one line") << QStringList { "OK" } << "当前行号： 1|当前位置： 0|总的行数： 1";
    QTest::newRow("line feed ends a line")
        << QStringList { "AT\r\n", "OK\n" } << "当前行号： 3|当前位置： 6|总的行数： 3";
    QTest::newRow("chunks of one line")
        << QStringList { "+NA", "ME:x\nO", "K" } << "当前行号： 2|当前位置： 8|总的行数： 2";
    QTest::newRow("a wrapped line is one line")
        << QStringList { QString(1200, QLatin1Char('x')) + "\nend" }
        << "当前行号： 2|当前位置： 1201|总的行数： 2";
}

void TestForm1::statusAfterAppends()
{
    QFETCH(QStringList, appends);
    QFETCH(QString, status);
    for (const QString &text : appends)
        Append(text);
    // A feed shows in full once it comes to rest.
    QTRY_COMPARE_WITH_TIMEOUT(Status(), status, 2000);
}

void TestForm1::clickIntoTheMiddle()
{
    Append(QStringLiteral("first line\nsecond line here\nthird\n"));
    ConsoleView *console = m_form->RichTextBox1;
    const QRect line2 = console->PositionRect(console->Store().LineStart(1));
    QTest::mouseClick(console->viewport(), Qt::LeftButton, {}, line2.center() + QPoint(40, 0));
    QVERIFY(console->CaretPosition() > 11); // clicked past the line's start
    QCOMPARE(Status(), QStringLiteral("当前行号： 2|当前位置： 11|总的行数： 4"));
}

void TestForm1::clearConsole()
{
    Append(QStringLiteral("a\nb\nc"));
    m_form->Command3->click();
    QCOMPARE(m_form->RichTextBox1->toPlainText(), QString());
    QCOMPARE(Status(), QStringLiteral("当前行号： 1|当前位置： 0|总的行数： 1"));
}

void TestForm1::appendKeepsFocus_data()
{
    QTest::addColumn<QString>("focused");
    QTest::addColumn<bool>("typed"); // an editable field, typed into while text arrives
    QTest::newRow("button") << "Command1" << false;
    QTest::newRow("baud rates") << "Combo1" << false;
    QTest::newRow("option") << "Option5" << false;
    QTest::newRow("entry box") << "Text2" << true;
    QTest::newRow("panel field") << "Text1(0)" << true;
    QTest::newRow("console") << "RichTextBox1" << false;
}

void TestForm1::appendKeepsFocus()
{
    QFETCH(QString, focused);
    QFETCH(bool, typed);
    m_form->activateWindow();
    QWidget *field = focused == "Text1(0)" ? m_form->Panel().Text1Box(0)
                                           : m_form->findChild<QWidget *>(focused);
    field->setFocus();
    QCOMPARE(QApplication::focusWidget(), field);
    Append(QStringLiteral("x\ny"));
    QCOMPARE(QApplication::focusWidget(), field);
    QCOMPARE(m_form->RichTextBox1->CaretPosition(), 3);
    QCOMPARE(Status(), QStringLiteral("当前行号： 2|当前位置： 2|总的行数： 2"));
    if (typed) { // typing goes on while text arrives
        QTest::keyClicks(field, QStringLiteral("AB"));
        Append(QStringLiteral("z"));
        QTest::keyClicks(field, QStringLiteral("CD"));
        const auto *box = qobject_cast<QLineEdit *>(field);
        QCOMPARE(box ? box->text() : qobject_cast<QPlainTextEdit *>(field)->toPlainText(),
                 QStringLiteral("ABCD"));
    }
}

void TestForm1::newestLineStaysInView()
{
    // Each append is its own event, as chunks arrive; the view must follow every one.
    for (int i = 0; i < 60; ++i) {
        Append(QStringLiteral("line %1\n").arg(i));
        QCoreApplication::processEvents();
    }
    Append(QStringLiteral("+STATE:INITIALIZED\nOK\n"));
    QCoreApplication::processEvents();
    ConsoleView *console = m_form->RichTextBox1;
    const QRect caret = console->CaretRect();
    QVERIFY(!caret.isNull());
    QVERIFY2(console->viewport()->rect().contains(caret),
             qPrintable(QStringLiteral("caret at y %1 of %2")
                            .arg(caret.y())
                            .arg(console->viewport()->height())));
    // The view moved what it showed up and painted only the new rows: the window holds
    // the same picture as a whole repaint.
    const auto *window = dynamic_cast<QImage *>(m_form->backingStore()->paintDevice());
    QVERIFY(window);
    const QRect area(console->viewport()->mapTo(m_form.get(), QPoint()),
                     console->viewport()->size());
    QCOMPARE(window->copy(area).convertToFormat(QImage::Format_RGB32),
             console->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32));
}

void TestForm1::batchKeepsOrderAndColours()
{
    // What the engine appends within one turn of the event loop, drawn as one batch.
    FrameBatcher &console = m_form->Batcher();
    console.Append(QStringLiteral("AT+NAME?\r\n"), qRgb(255, 0, 0), "AT+NAME?\r\n");
    console.Append(QStringLiteral("+NAME:x\n"), qRgb(0, 0, 255), "+NAME:x\r\n");
    console.Append(QStringLiteral("AT+NAME=y\r\n"), qRgb(0, 255, 0), "AT+NAME=y\r\n");
    console.Append(QStringLiteral("O"), qRgb(0, 0, 255), "O");
    console.Append(QStringLiteral("K\n"), qRgb(0, 0, 255), "K\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(m_form->RichTextBox1->toPlainText(),
                              QStringLiteral("AT+NAME?\n+NAME:x\nAT+NAME=y\nOK\n"), 5000);
    const QList<std::pair<qsizetype, QRgb>> runs = { { 0, qRgb(255, 0, 0) },
                                                     { 9, qRgb(0, 0, 255) },
                                                     { 17, qRgb(0, 255, 0) },
                                                     { 27, qRgb(0, 0, 255) } };
    QCOMPARE(m_form->RichTextBox1->Store().Runs(0, 30), runs);
    QCOMPARE(Status(), QStringLiteral("当前行号： 5|当前位置： 30|总的行数： 5"));
}

// Records, for every paint of the window, whether the console still held undrawn text.
class PaintWatch : public QObject
{
public:
    PaintWatch(Form1 &form)
        : m_form(form)
    {
        qApp->installEventFilter(this);
    }
    ~PaintWatch() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched == m_form.Label5) {
            ++paints;
            statusAtPaint = m_form.Label3->text();
        }
        return false;
    }
    int paints = 0;
    QString statusAtPaint;

private:
    Form1 &m_form;
};

void TestForm1::textCompleteBeforePaintAndKeys()
{
    PaintWatch watch(*m_form);
    m_form->Batcher().Append(QStringLiteral("a\nb\nc"), qRgb(0, 0, 255), "a\nb\nc");
    m_form->Label5->update(); // the window paints before the batch is due
    QTRY_VERIFY_WITH_TIMEOUT(watch.paints > 0, 5000);
    QCOMPARE(watch.statusAtPaint, QStringLiteral("总的行数： 3"));

    // A key pressed while text waits is handled with the whole text in place.
    m_form->Batcher().Append(QStringLiteral("\nd"), qRgb(0, 0, 255), "\nd");
    QTest::keyClick(m_form->RichTextBox1, Qt::Key_Up);
    QCOMPARE(m_form->RichTextBox1->toPlainText(), QStringLiteral("a\nb\nc\nd"));
    QCOMPARE(m_form->RichTextBox1->Store().LineOf(m_form->RichTextBox1->CaretPosition()), 2);
}

void TestForm1::drawsOncePerFrame_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("frame");
    QTest::newRow("a line a read") << 1 << FrameBatcher::FrameMilliseconds;
    QTest::newRow("each frame's text fills the view") << 60 << FrameBatcher::SkimMilliseconds;
}

void TestForm1::drawsOncePerFrame()
{
    // Every read asks for a paint; the console still draws no more than once a frame.
    QFETCH(int, lines);
    QFETCH(int, frame);
    FrameBatcher &console = m_form->Batcher();
    const qint64 before = console.Frames();
    QElapsedTimer clock;
    clock.start();
    int reads = 0;
    for (; clock.elapsed() < 20 * FrameBatcher::FrameMilliseconds; ++reads) {
        const QString text = QStringLiteral("%1\n").arg(reads).repeated(lines);
        console.Append(text, qRgb(0, 0, 255), text.toUtf8());
        m_form->Label5->update();
        QCoreApplication::processEvents();
    }
    const qint64 frames = console.Frames() - before;
    QVERIFY2(frames <= clock.elapsed() / frame + 2,
             qPrintable(QStringLiteral("%1 frames in %2 ms").arg(frames).arg(clock.elapsed())));
    QTRY_COMPARE_WITH_TIMEOUT(m_form->RichTextBox1->Store().LineCount(), reads * lines + 1, 5000);
}

void TestForm1::caretKeys_data()
{
    // Lines of 10 characters: "line 0000\n" …; a click-free walk with the keys.
    QTest::addColumn<QList<QKeyCombination>>("keys");
    QTest::addColumn<int>("caret");
    QTest::addColumn<int>("anchor");
    QTest::addColumn<QString>("status");
    using K = QKeyCombination;
    QTest::newRow("start") << QList<K> { K(Qt::ControlModifier, Qt::Key_Home) } << 0 << 0
                           << "当前行号： 1|当前位置： 0|总的行数： 101";
    QTest::newRow("down and right")
        << QList<K> { K(Qt::ControlModifier, Qt::Key_Home), K(Qt::Key_Down), K(Qt::Key_Right) }
        << 11 << 11 << "当前行号： 2|当前位置： 10|总的行数： 101";
    QTest::newRow("end of line") << QList<K> { K(Qt::ControlModifier, Qt::Key_Home),
                                               K(Qt::Key_End) }
                                 << 9 << 9 << "当前行号： 1|当前位置： 0|总的行数： 101";
    QTest::newRow("home") << QList<K> { K(Qt::Key_Up), K(Qt::Key_Left), K(Qt::Key_Home) } << 980
                          << 980 << "当前行号： 99|当前位置： 980|总的行数： 101";
    QTest::newRow("page down moves a page")
        << QList<K> { K(Qt::ControlModifier, Qt::Key_Home), K(Qt::Key_PageDown) } << -1 << -1 << "";
    QTest::newRow("shift selects") << QList<K> { K(Qt::ShiftModifier, Qt::Key_Up) } << 990 << 1000
                                   << "当前行号： 100|当前位置： 990|总的行数： 101";
    QTest::newRow("select all") << QList<K> { K(Qt::ControlModifier, Qt::Key_A) } << 1000 << 0
                                << "当前行号： 1|当前位置： 0|总的行数： 101";
    QTest::newRow("end of text") << QList<K> { K(Qt::ControlModifier, Qt::Key_Home),
                                               K(Qt::ControlModifier, Qt::Key_End) }
                                 << 1000 << 1000 << "当前行号： 101|当前位置： 1000|总的行数： 101";
}

void TestForm1::caretKeys()
{
    QFETCH(QList<QKeyCombination>, keys);
    QFETCH(int, caret);
    QFETCH(int, anchor);
    QFETCH(QString, status);
    QString text;
    for (int i = 0; i < 100; ++i)
        text += QStringLiteral("line %1\n").arg(i, 4, 10, QLatin1Char('0'));
    Append(text);
    ConsoleView *console = m_form->RichTextBox1;
    for (const QKeyCombination key : keys)
        QTest::keyClick(console, key.key(), key.keyboardModifiers());
    if (caret < 0) { // a page: more than one line, less than the lines in view plus one
        const qsizetype line = console->Store().LineOf(console->CaretPosition());
        QVERIFY2(line > 5 && line <= console->viewport()->height() / 10,
                 qPrintable(QString::number(line)));
    } else {
        QCOMPARE(console->CaretPosition(), caret);
        QCOMPARE(console->SelectionStart(), std::min(caret, anchor));
        QCOMPARE(console->SelectionEnd(), std::max(caret, anchor));
        QCOMPARE(Status(), status);
    }
    // The caret is in view, and the selection is what Ctrl+C copies.
    const QRect rect = console->CaretRect();
    QVERIFY(!rect.isNull() && console->viewport()->rect().contains(rect));
    QTest::keyClick(console, Qt::Key_C, Qt::ControlModifier);
    if (console->SelectionStart() != console->SelectionEnd())
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 text.mid(console->SelectionStart(),
                          console->SelectionEnd() - console->SelectionStart()));
}

void TestForm1::wrap_data()
{
    // A long line is drawn in segments of 500 characters; the text stays one line.
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("segments"); // lengths, in order
    const QString full(ConsoleStore::SegmentLimit, QLatin1Char('x'));
    QTest::newRow("short") << "ab\ncd" << QList<int> { 2, 2 };
    QTest::newRow("exactly full") << full << QList<int> { 500 };
    QTest::newRow("one past") << full + "y" << QList<int> { 500, 1 };
    QTest::newRow("full line then a break") << full + "\ny" << QList<int> { 500, 1 };
    QTest::newRow("received line of 1200") << QString(1200, QLatin1Char('z')) + "\n"
                                           << QList<int> { 500, 500, 200, 0 };
    QTest::newRow("wide characters") << QString(1001, QChar(0x84DD)) << QList<int> { 500, 500, 1 };
}

void TestForm1::wrap()
{
    QFETCH(QString, text);
    QFETCH(QList<int>, segments);
    // Appended in pieces, as a stream without line breaks arrives.
    for (qsizetype from = 0; from < text.size(); from += 97)
        Append(text.mid(from, 97));
    ConsoleView *console = m_form->RichTextBox1;
    const ConsoleStore &store = console->Store();
    QList<int> lengths;
    for (qsizetype s = 0; s < store.SegmentCount(); ++s) {
        const auto [from, to] = store.SegmentRange(s);
        lengths << int(to - from);
        QCOMPARE(store.SegmentOf(from), s);
    }
    QCOMPARE(lengths, segments);
    // Copied and read whole: the wrap is only drawn.
    console->selectAll();
    console->copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), text);
    // A screen reader's lines are the rows drawn, one after the other.
    QAccessibleTextInterface *read
        = QAccessible::queryAccessibleInterface(console)->textInterface();
    int start = -1, end = -1;
    const QString row = read->textAtOffset(0, QAccessible::LineBoundary, &start, &end);
    QCOMPARE(start, 0);
    QVERIFY(end > 0 && end <= segments.first() + 1);
    QCOMPARE(row, text.left(end));
    if (end < text.size()) {
        int next = -1;
        read->textAtOffset(end, QAccessible::LineBoundary, &next, &start);
        QCOMPARE(next, end);
    }
}

void TestForm1::startButtonsSetTheMode()
{
    // Connected after the window's own handler: how many warnings each tick has seen.
    QList<qsizetype> warnedAtTick;
    connect(m_form->Timer1, &QTimer::timeout, this,
            [&] { warnedAtTick << m_warning.shown.size(); });
    m_form->Command1->click();
    QCOMPARE(m_form->State().WorkMode, ModeSearching);
    // No port is open: the first tick abandons the query and warns once.
    QTRY_COMPARE_WITH_TIMEOUT(m_warning.shown, QStringList { NoPortYetWarning }, 5000);
    QCOMPARE(warnedAtTick.value(0), 1);
    QCOMPARE(m_form->State().WorkMode, ModeIdle);
    const qsizetype ticks = warnedAtTick.size();
    m_form->Command2->click(); // an empty panel: written once the operator confirms
    QCOMPARE(m_confirm.asked.size(), 1);
    QCOMPARE(m_form->State().WorkMode, ModeUpdating);
    QCOMPARE(m_form->State().StepIndex, qint16(1));
    QTRY_COMPARE_WITH_TIMEOUT(m_warning.shown.size(), 2, 5000);
    QCOMPARE(warnedAtTick.value(ticks), 2);
}

void TestForm1::warningBoxIsModalAndTicksGoOn()
{
    m_form->SetWarningBox(nullptr); // the real box
    QString title, text;
    int buttons = 0;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool tickedMeanwhile = false;
    bool closed = false;
    // Look for the box from a timer: the click below returns only once it is closed.
    // Nothing in here may return early with the box left open.
    QTimer poll;
    const QDeadlineTimer deadline(5000);
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) {
            if (deadline.hasExpired())
                poll.stop();
            return;
        }
        poll.stop();
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = int(box->buttons().size());
        QSignalSpy ticks(m_form->Timer1, &QTimer::timeout);
        tickedMeanwhile = ticks.wait(2000);
        box->done(QMessageBox::Ok);
        closed = true;
    });
    poll.start(10);
    m_form->Command1->click(); // a query that waits for its reply: the tick runs
    m_form->State().AwaitingReply = true;
    m_form->Command5->click(); // no port open: the hand-typed send warns
    QVERIFY(closed);
    QCOMPARE(title, QStringLiteral("警告"));
    QCOMPARE(text, NoPortYetWarning.section(u'|', 1));
    QCOMPARE(icon, QMessageBox::Warning);
    QCOMPARE(buttons, 1);
    QVERIFY(tickedMeanwhile);
}

void TestForm1::warningsRaisedWhileABoxIsOpenWait()
{
    m_form->SetWarningBox(nullptr); // the real box
    qputenv("TARVENIT_PORTS", "/nonexistent/ttyX");
    QStringList boxes; // title, text and informative text of each box, in order
    QTimer poll;
    const QDeadlineTimer deadline(10000);
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        // The search's box stays open until the tick has abandoned the query meanwhile.
        if (!box || (boxes.isEmpty() && SequenceRunning(m_form->State()) && !deadline.hasExpired()))
            return;
        if (boxes.isEmpty()) {
            m_form->Command5->click(); // the same port warning, twice more, by hand
            m_form->Command5->click();
        }
        boxes << box->windowTitle() + QLatin1Char('|') + box->text() + QLatin1Char('|')
                + box->informativeText();
        box->done(QMessageBox::Ok);
    });
    poll.start(10);
    m_form->Command1->click(); // a query, due at the next tick, on a port that is not open
    m_form->Command4->click(); // finds nothing: returns once every box is closed
    QCOMPARE(boxes,
             (QStringList { "提示|已经搜索到最后，再次点击重新搜索！|/nonexistent/ttyX 不存在",
                            "警告|端口打开错误，请搜索端口后重试！|" }));
}

void TestForm1::noticeHidesNoField()
{
    QApplication::setApplicationDisplayName(QStringLiteral("Tarvenit"));
    NoticeBox &done = m_form->DoneNotice();
    // A word, where the title is the wider; a verdict wider than the console.
    for (const QString text : { "OK",
                                "9 项中 2 项未保留：设备名称（写入 BENCH-7，模块回答 "
                                "TARVENIT-BT）、主从角色（写入 主角色，模块回答 从角色）" }) {
        done.Show({ DoneTitle(), text, {}, {}, {}, NoticeTone::News });
        QTRY_VERIFY_WITH_TIMEOUT(done.IsShown(), 5000);
        const QRect box = done.Box()->frameGeometry();
        for (const QWidget *control : m_form->RichTextBox1->parentWidget()->findChildren<QWidget *>(
                 Qt::FindDirectChildrenOnly)) {
            const QRect at(control->mapToGlobal(QPoint()), control->size());
            if (control != m_form->RichTextBox1 && control->isVisible())
                QVERIFY2(!box.intersects(at), qPrintable(control->objectName()));
        }
        const auto *window = qobject_cast<NoticeWindow *>(done.Box());
        QVERIFY(window->width() >= window->TitleWidth()); // the name the title bar adds too
    }
}

void TestForm1::spokenWithoutFocus_data()
{
    QTest::addColumn<QString>("event");
    QTest::addColumn<QStringList>("spoken");
    QTest::newRow("a notice") << "notice" << QStringList { "提示|first|details" };
    QTest::newRow("a port lost") << "lost" << QStringList { "端口：3 已断开" };
    QTest::newRow("a search that opens nothing: its box says so") << "search" << QStringList {};
    QTest::newRow("a rate chosen with the arrow keys") << "baud" << QStringList { "56000" };
}

void TestForm1::spokenWithoutFocus()
{
    QFETCH(QString, event);
    QFETCH(QStringList, spoken);
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        QSKIP("No accessibility here: the desktop session runs this test (desktop-session.sh)");
    QTRY_VERIFY_WITH_TIMEOUT(QAccessible::isActive(), 5000); // the bus says one listens
    NoticeBox notice(m_form.get());
    // What a screen reader hears without the focus moving: each notification that appears.
    static QStringList heard;
    heard.clear();
    QAccessible::installUpdateHandler([](QAccessibleEvent *event) {
        QAccessibleInterface *shown = event->accessibleInterface();
        if (event->type() != QAccessible::ObjectShow || !shown
            || shown->role() != QAccessible::Notification)
            return;
        QString said = shown->text(QAccessible::Name);
        for (int i = 0; i < shown->childCount(); ++i) {
            const QAccessibleInterface *child = shown->child(i);
            if (child->role() == QAccessible::StaticText && !child->state().invisible)
                said += QLatin1Char('|') + child->text(QAccessible::Name);
        }
        heard << said;
    });
    if (event == "notice") {
        notice.Show({ "提示", "first", "details", {}, {} });
    } else if (event == "lost") {
        m_form->Port().SetPortNumber(3);
        emit m_form->Port().deviceLost();
    } else if (event == "baud") {
        m_form->activateWindow();
        m_form->Combo1->setFocus();
        QTRY_VERIFY_WITH_TIMEOUT(m_form->Combo1->hasFocus(), 5000);
        QTest::keyClick(m_form->Combo1, Qt::Key_Down);
        QCOMPARE(m_form->Combo1->accessibleDescription(), QStringLiteral("56000"));
    } else {
        m_form->Command4->click();
    }
    QAccessible::installUpdateHandler(nullptr);
    QCOMPARE(heard, spoken);
    QCOMPARE(m_form->Spoken().Said().isEmpty(), event == "notice" || event == "search");
}

void TestForm1::arrivalsSpoken_data()
{
    QTest::addColumn<bool>("sent"); // a command typed by hand went out first
    QTest::addColumn<bool>("consoleFocused");
    QTest::addColumn<bool>("sequence");
    QTest::addColumn<QStringList>("received");
    QTest::addColumn<QString>("spoken");
    const QStringList reply { "+NAME:", "abc\r\n", "OK\r\n" };
    QTest::newRow("a reply, focus elsewhere") << true << false << false << reply << "+NAME:abc\nOK";
    QTest::newRow("from nowhere, focus elsewhere") << false << false << false << reply << "";
    QTest::newRow("text from nowhere, in the console")
        << false << true << false << QStringList { "\n  x \x01 y\n\n" } << "x y";
    QTest::newRow("a query's traffic") << true << true << true << reply << "";
    QTest::newRow("a flood says how much")
        << true << false << false << QStringList { "1\n2\n3\n4\n5\n" } << "收到 5 行";
    QTest::newRow("a long line is a flood too")
        << true << false << false << QStringList { QString(400, QLatin1Char('x')) } << "收到 1 行";
}

void TestForm1::arrivalsSpoken()
{
    QFETCH(bool, sent);
    QFETCH(bool, consoleFocused);
    QFETCH(bool, sequence);
    QFETCH(QStringList, received);
    QFETCH(QString, spoken);
    QStringList said;
    ArrivalSpeech speech([&](const QString &text) { said << text; },
                         [&] { return consoleFocused; });
    if (sent)
        speech.Received(u"before the command", false), speech.Sent();
    for (const QString &chunk : received)
        speech.Received(QString(chunk).remove(QLatin1Char('\r')), sequence);
    QVERIFY(said.isEmpty()); // not while it still comes
    QTRY_COMPARE_WITH_TIMEOUT(said, spoken.isEmpty() ? QStringList() : QStringList { spoken },
                              10 * ArrivalSpeech::QuietMilliseconds);
    speech.Quiet(); // and once only; what comes after the reply only to the console
    speech.Received(u"later\n", sequence);
    speech.Quiet();
    QCOMPARE(said.size(), (spoken.isEmpty() ? 0 : 1) + (consoleFocused && !sequence ? 1 : 0));
}

void TestForm1::accessibleParts_data()
{
    // Each row named by its control.
    QTest::addColumn<QString>("read"); // name|labels|the rest, as a screen reader reads it
    QTest::newRow("Option2") << "从角色|主从角色：|"; // a role option, named by its group
    QTest::newRow("Option5") << "指定地址|连接模式：|"; // a mode option
    // A box reached by Tab: one run, nothing selected.
    QTest::newRow("Text1_4") << "连接密码：|连接密码：|run 0-4, selected 0";
    // The baud list, its rate as the description; where the list's name is its rate, and
    // elsewhere its accessible name.
#ifdef Q_OS_UNIX
    QTest::newRow("Combo1") << "38400|波特率：|38400";
#else
    QTest::newRow("Combo1") << "波特率|波特率：|38400";
#endif
    QTest::newRow("notice") << "提示||Notification";
}

void TestForm1::accessibleParts()
{
    QFETCH(QString, read);
    const QString control = QTest::currentDataTag();
    NoticeBox notice(m_form.get());
    QWidget *widget = m_form->findChild<QWidget *>(control);
    if (control == "notice")
        notice.Show({ "提示", "text", {}, {}, {} }), widget = notice.Box();
    QVERIFY(widget);
    QAccessibleInterface *reader = QAccessible::queryAccessibleInterface(widget);
    QStringList labels;
    for (const auto &[label, relation] : reader->relations(QAccessible::Label))
        labels << label->text(QAccessible::Name);
    QString rest = reader->text(QAccessible::Description);
    if (auto *box = qobject_cast<QLineEdit *>(widget)) {
        box->setText(QStringLiteral("1234"));
        box->setFocus(Qt::TabFocusReason);
        int start = -1, end = -1;
        reader->textInterface()->attributes(2, &start, &end);
        const int selected = reader->textInterface()->selectionCount();
        rest = QStringLiteral("run %1-%2, selected %3").arg(start).arg(end).arg(selected);
    } else if (reader->role() == QAccessible::Notification) {
        rest = QStringLiteral("Notification");
    }
    QCOMPARE(QStringList({ reader->text(QAccessible::Name), labels.join(','), rest }).join('|'),
             read);
}

void TestForm1::noticeLeavesTheWindowUsable()
{
    NoticeBox notice(m_form.get());
    int actions = 0;
    notice.Show({ QStringLiteral("提示"), QStringLiteral("first"), QString(), QString(), {} });
    QPointer<QMessageBox> first = notice.Box();
    notice.Show({ QStringLiteral("提示"), QStringLiteral("second"), QStringLiteral("details"),
                  QStringLiteral("act"), [&] { ++actions; } });
    QTRY_VERIFY_WITH_TIMEOUT(!first, 5000); // replaced, and gone
    QMessageBox *box = notice.Box();
    QVERIFY(notice.IsShown());
    QCOMPARE(box->windowTitle() + box->text() + box->informativeText(),
             QStringLiteral("提示seconddetails"));
    QVERIFY(!QApplication::activeModalWidget());
    // The window goes on working while the notice is open.
    m_form->Command1->click();
    QCOMPARE(m_form->State().WorkMode, ModeSearching);
    QAbstractButton *act = nullptr;
    for (QAbstractButton *button : box->buttons()) {
        if (button->text() == QStringLiteral("act"))
            act = button;
    }
    QVERIFY(act);
    act->click();
    QTRY_COMPARE_WITH_TIMEOUT(actions, 1, 5000);
    QVERIFY(!notice.IsShown());
    notice.Show({ QStringLiteral("提示"), QStringLiteral("third"), QString(), QString(), {} });
    notice.Close();
    QVERIFY(!notice.IsShown());
    // A box with a button of its own has no escape button, yet closes all the same, as
    // does one replaced by the next.
    for (const bool replace : { false, true }) {
        notice.Show({ QStringLiteral("提示"), QStringLiteral("fourth"), QString(),
                      QStringLiteral("act"), [] {} });
        QPointer<QMessageBox> fourth = notice.Box();
        if (replace)
            notice.Show(
                { QStringLiteral("提示"), QStringLiteral("fifth"), QString(), QString(), {} });
        else
            notice.Close();
        QTRY_VERIFY_WITH_TIMEOUT(!fourth, 5000);
    }
    // What the module sent is shown as it came, never read as markup.
    notice.Show({ QStringLiteral("提示"), QString(), QStringLiteral("<b>reply</b>"), {}, {} });
    QVERIFY(notice.Box()->informativeText().contains(QStringLiteral("&lt;b&gt;reply")));
    QCOMPARE(notice.Box()->icon(), QMessageBox::Warning);
    // A fleeting one, that the sequence ended.
    const NoticeContent done { "完成", "done", {}, {}, {}, NoticeTone::News, true };
    notice.Show(done);
    QPointer<QMessageBox> fleeting = notice.Box();
    QCOMPARE(fleeting->icon(), QMessageBox::Information);
    QVERIFY(!QApplication::focusWidget() || QApplication::focusWidget()->window() == m_form.get());
    // Gone at the next click anywhere, or else after about three seconds.
    QTest::mouseClick(m_form->Label1, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!fleeting, 5000);
    notice.Show(done);
    fleeting = notice.Box();
    QElapsedTimer shown;
    shown.start();
    QTRY_VERIFY_WITH_TIMEOUT(!fleeting, 10000);
    QVERIFY(shown.elapsed() >= NoticeContent::FleetingMs * 9 / 10); // a coarse timer: within 5 %
}

void TestForm1::consoleHeldFromAnywhere()
{
    // Scroll Lock while typing a command holds the console; the line count goes on.
    Append(QStringLiteral("a\nb\n"));
    m_form->RichTextBox1->SetCaret(0);
    QTest::keyClick(m_form->Text2, Qt::Key_ScrollLock);
    QVERIFY(m_form->RichTextBox1->Held());
    Append(QStringLiteral("c\nd\n"));
    QTRY_COMPARE_WITH_TIMEOUT(Status(), QStringLiteral("当前行号： 1|当前位置： 0|总的行数： 5"),
                              2000);
    QTest::keyClick(m_form->Text2, Qt::Key_ScrollLock);
    QTRY_COMPARE_WITH_TIMEOUT(Status(), QStringLiteral("当前行号： 5|当前位置： 8|总的行数： 5"),
                              2000);
    // A save that fails says why in the window's warning.
    emit m_form->RichTextBox1->saveFailed(QStringLiteral("/x/y.txt"), QStringLiteral("why"));
    QCOMPARE(m_warning.shown, QStringList { "警告|文件保存失败！" });
    QCOMPARE(m_warning.details, QStringList { "/x/y.txt：why" });
}

void TestForm1::panelRows_data()
{
    QTest::addColumn<int>("label6");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("text1");
    QTest::addColumn<int>("option"); // one option of the row's group, 0 for a box
    // As each other family has the row: w only written, - none, else read (and written).
    QTest::addColumn<QString>("families"); // the pause family's, the OK+ family's
    QTest::newRow("row 1") << 2 << "设备名称：" << 0 << 0 << "wr";
    QTest::newRow("row 3") << 1 << "本机MAC地址：" << 2 << 0 << "-r";
    QTest::newRow("row 4") << 3 << "主从角色：" << -1 << 2 << "-r";
    QTest::newRow("row 8") << 9 << "连接模式：" << -1 << 6 << "--";
    QTest::newRow("row 10") << 6 << "查询访问模式：" << 8 << 0 << "--";
    QTest::newRow("row 12 mixes brackets") << 8 << "通讯波特率(数据模式）：" << 10 << 0 << "wr";
    QTest::newRow("row 13") << 11 << "最近使用过的蓝牙认证设备地址：" << 11 << 0 << "--";
}

void TestForm1::panelRows()
{
    QFETCH(int, label6);
    QFETCH(QString, caption);
    QFETCH(int, text1);
    QFETCH(int, option);
    SettingsPanel &panel = m_form->Panel();
    QVERIFY(panel.Label6(label6));
    QCOMPARE(panel.Label6(label6)->text(), caption);
    if (text1 >= 0) {
        QCOMPARE(panel.Text1Box(text1)->accessibleName(), caption);
        QCOMPARE(panel.Text1Box(text1)->text(), QString());
        QCOMPARE(panel.Text1Caption(text1), caption);
    } else {
        QCOMPARE(panel.GroupCaption(option), caption);
    }
    QVERIFY(!panel.Text1Box(6)); // the connection mode is the options, not a box
#ifndef Q_OS_WIN // in the Chinese font the Debian package depends on; others may be wider,
                 // and a caption then shrinks to stay whole
    QCOMPARE(panel.Label6(label6)->font().pointSizeF(), m_form->font().pointSizeF()); // as large
#endif
    // The connection mode's options by what they mean, at the same places as the role's.
    const QStringList options { "主角色", "从角色", "回环角色", "任意地址", "指定地址", "回环" };
    for (int number = 1; number <= 6; ++number)
        QCOMPARE(panel.OptionCaption(number), options[number - 1]); // the table the buttons show

    // A module of another family: the rows it lacks disabled, saying why.
    QFETCH(QString, families);
    QWidget *row = text1 >= 0 ? panel.Text1Box(text1) : panel.Frame(option <= 3 ? 1 : 2);
    const QStringList kinds { "以停顿结束命令的一类", "以“OK+”回答的一类" };
    for (const QString key : { "pause", "ok-plus", "" }) {
        m_form->State().Family = FamilyByKey(key);
        m_form->Command1->click(); // the family is shown as the query starts
        const int family = key == "pause" ? 0 : 1;
        const QChar use = key.isEmpty() ? u'r' : families.at(family);
        QCOMPARE(row->isEnabled(), use != u'-');
        const QString why = use == u'-' ? kinds[family] + "没有这项设置"
                                        : (use == u'w' ? "只能写入，不能读取" : QString());
        QCOMPARE(row->accessibleDescription(), why);
        if (text1 >= 0)
            QCOMPARE(panel.Text1Box(text1)->placeholderText(), use == u'w' ? why : QString());
        QCOMPARE(panel.SourceLabel()->text(), key.isEmpty() ? QString() : kinds[family]);
    }
}

void TestForm1::panelFieldsKeepText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("cut"); // too wide for the box: whole in its tooltip
    QTest::addColumn<QString>("kept"); // empty: the text as given
    QTest::newRow("plain") << "TARVENIT-BT" << false << "";
    QTest::newRow("spaces around") << "  a b  " << false << "";
    QTest::newRow("chinese") << "蓝牙模块" << false << "";
    QTest::newRow("line feed shown, never held") << "x\n" << false << "x\uFFFD";
    QTest::newRow("NUL and DEL too")
        << QStringView(u"a\0b\x7f", 4).toString() << false << "a\uFFFDb\uFFFD";
    QTest::newRow("wider than the box") << "98d3:31:fd5e6f 98d3:31:fd5e6f 98d3:31" << true << "";
}

void TestForm1::panelFieldsKeepText()
{
    QFETCH(QString, text);
    QFETCH(bool, cut);
    QFETCH(QString, kept);
    SettingsPanel &panel = m_form->Panel();
    const QRect place = panel.Text1Box(9)->geometry();
    panel.SetText1(9, text);
    QCOMPARE(panel.Text1(9), kept.isEmpty() ? text : kept);
    QCOMPARE(panel.Text1Box(9)->toolTip(), cut ? text : QString());
    QCOMPARE(panel.Text1Box(9)->geometry(), place);
    // The most recent address is cut in its narrow box.
    panel.SetText1(11, QStringLiteral("98d3:31:fd5e6f"));
    QCOMPARE(panel.Text1Box(11)->toolTip(), QStringLiteral("98d3:31:fd5e6f"));
}

void TestForm1::settingsBoxPaste_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("kept"); // the box after the paste into "AB", caret between
    const struct
    {
        const char *tag;
        int index;
        QString pasted, kept;
    } rows[] = {
        { "a cell's line end", 4, "4321\n", "A4321B" },
        { "its CR LF", 4, "4321\r\n", "A4321B" },
        { "a second command", 0, "BENCH\r\nAT+UART=9600,0,0", "AB" },
        { "two line ends", 4, "4321\n\n", "AB" },
        { "a NUL", 0, QStringView(u"BEN\0CH", 6).toString(), "AB" },
        { "a tab", 8, "1,1,\t48", "AB" },
        { "read-only: the version", 1, "x", "AB" },
        { "read-only: the own address", 2, "x", "AB" },
        { "read-only: the state", 9, "x", "AB" },
        { "read-only: the last address", 11, "x", "AB" },
    };
    for (const auto &row : rows)
        QTest::newRow(row.tag) << row.index << row.pasted << row.kept;
}

void TestForm1::settingsBoxPaste()
{
    QFETCH(int, index);
    QFETCH(QString, pasted);
    QFETCH(QString, kept);
    QLineEdit *box = m_form->Panel().Text1Box(index);
    QSignalSpy noted(box, SIGNAL(noteShown(QString)));
    m_form->Panel().SetText1(index, QStringLiteral("AB"));
    box->setFocus();
    box->setCursorPosition(1);
    QGuiApplication::clipboard()->setText(pasted);
    Press(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box->text(), kept);
    const bool refused = kept == "AB" && !box->isReadOnly();
    QCOMPARE(noted.size(), refused ? 1 : 0);
    QCOMPARE(box->isReadOnly(), StepOfText1(index) == 0);
    // What a screen reader edits goes the same way.
    QAccessibleEditableTextInterface *editable
        = QAccessible::queryAccessibleInterface(box)->editableTextInterface();
    editable->insertText(0, pasted);
    QCOMPARE(box->text(), refused || box->isReadOnly() ? kept : PastedValue(pasted).value() + kept);
}

void TestForm1::optionGroupsExclusiveAndClear()
{
    SettingsPanel &panel = m_form->Panel();
    for (int n = 1; n <= 6; ++n)
        QVERIFY(!panel.Option(n));
    QTest::mouseClick(panel.OptionButton(1), Qt::LeftButton, {}, QPoint(5, 7));
    QTest::mouseClick(panel.OptionButton(6), Qt::LeftButton, {}, QPoint(5, 7));
    QVERIFY(panel.Option(1));
    QVERIFY(panel.Option(6));
    QTest::mouseClick(panel.OptionButton(3), Qt::LeftButton, {}, QPoint(5, 7));
    QVERIFY(!panel.Option(1)); // exclusive within its group
    QVERIFY(panel.Option(3));
    QVERIFY(panel.Option(6)); // the other group is untouched
    panel.SetOption(5, true);
    QVERIFY(!panel.Option(6));

    panel.SetText1(0, QStringLiteral("x"));
    panel.SetText1(11, QStringLiteral("y"));
    Append(QStringLiteral("console stays"));
    m_form->State().WorkMode = ModeSearching;
    m_form->State().AwaitingReply = true;
    m_form->Command6->click();
    for (int n = 1; n <= 6; ++n)
        QVERIFY(!panel.Option(n));
    for (int index : { 0, 1, 2, 3, 4, 5, 7, 8, 9, 10, 11 })
        QCOMPARE(panel.Text1(index), QString());
    QCOMPARE(m_form->RichTextBox1->toPlainText(), QStringLiteral("console stays"));
    QCOMPARE(m_form->State().WorkMode, ModeSearching);
    panel.SetOption(2, true); // a group works again after clearing
    QVERIFY(panel.Option(2));
}

void TestForm1::commandBoxKeptForTheNextRun()
{
    QStringList sent;
    for (int i = 0; i < 104; ++i)
        sent << QString::number(i);
    for (const QString &text : sent + QStringList { "AT", "AT+NAME?", "AT", "AT+ROLE?" })
        m_form->Text2->setPlainText(text), m_form->Text2->Sent();
    QTest::keyClick(m_form->Text2, Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(m_form->Text2->toPlainText(), "AT"); // the text just sent is skipped
    for (const bool again : { false, true }) {
        QTest::keyClick(m_form->Text2, Qt::Key_F10, Qt::ShiftModifier);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        const QList<QAction *> entries = menu->actions();
        const QString selectAll = QKeySequence(QKeySequence::SelectAll).toString();
        QVERIFY(std::any_of(entries.begin(), entries.end(), [&](const QAction *entry) {
            return entry->text().endsWith(selectAll); // Qt's own entries stay
        }));
        QMenu *endings = entries.at(entries.size() - 2)->menu();
        QStringList shown { endings->title(), entries.last()->text() };
        for (const QAction *entry : endings->actions() + entries.mid(entries.size() - 1))
            shown << entry->text() + (entry->isChecked() ? "*" : "");
        QCOMPARE(shown.join(' '),
                 again ? "行尾 十六进制发送 无 CR LF CR LF* 十六进制发送*"
                       : "行尾 十六进制发送 无* CR LF CR LF 十六进制发送");
        endings->actions().last()->trigger();
        entries.last()->setChecked(true);
        menu->close();
        m_form = std::make_unique<Form1>();
        m_form->show();
    }
    // The last 100, "AT" once; Up and back.
    CommandBox *box = m_form->Text2;
    QCOMPARE(box->History().Texts().mid(0, 4) << box->History().Texts().last(),
             QStringList({ "AT+ROLE?", "AT", "AT+NAME?", "103", "7" }));
    box->setPlainText(QStringLiteral("AT+V"));
    for (const QString step : { "↑AT+ROLE?", "↑AT", "↓AT+ROLE?", "↓AT+V", "↓AT+V" }) {
        QTest::keyClick(box, step.startsWith(u'↑') ? Qt::Key_Up : Qt::Key_Down,
                        Qt::ControlModifier);
        QCOMPARE(box->toPlainText(), step.mid(1));
    }
}

void TestForm1::historyOfTwoCopies()
{
    // A second copy of the tool, started before the first sends: neither loses the other's.
    auto *first = m_form->Text2;
    CommandBox second;
    for (auto [box, text] : { std::pair { first, "AT+ROLE?" },
                              { &second, "AT+NAME?" },
                              { first, "AT" },
                              { &second, "AT+ROLE?" } })
        box->setPlainText(QString::fromUtf8(text)), box->Sent();
    QCOMPARE(CommandBox().History().Texts(), QStringList({ "AT+ROLE?", "AT", "AT+NAME?" }));
}

void TestForm1::guardedCommandAsks_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QString>("asked"); // how the 确认 box begins; empty: none
    QTest::addColumn<QString>("family"); // the module's, empty for the tool's own
    const QString reset = "模块将恢复出厂设置：从角色，PIN 1234，波特率 38400";
    QTest::newRow("AT+ORGL") << "AT+ORGL" << false << reset << "";
    QTest::newRow("in lower case, a line end typed") << "at+orgl\n" << false << reset << "";
    QTest::newRow("the second line") << "AT\nAT+RMAAD" << false << "模块将清空配对列表"
                                     << "";
    QTest::newRow("as hex") << "41 54 2B 52 45 53 45 54 0D 0A" << true << "模块将重启"
                            << "";
    QTest::newRow("the other family's reset")
        << "AT+RENEW" << false << "模块将恢复出厂设置：从角色，密码 000000"
        << "";
    QTest::newRow("a query is no reset") << "AT+ORGL?" << false << ""
                                         << "";
    QTest::newRow("a name holding it") << "AT+NAME=AT+ORGL" << false << ""
                                       << "";
    QTest::newRow("the pairings cleared") << "AT+ERASE" << false << "模块将清除绑定的设备"
                                          << "ok-plus";
    QTest::newRow("1200, where OK+ takes no command")
        << "AT+BAUD7" << false << "模块重新启动后将以 1200 波特通信"
        << "ok-plus";
    QTest::newRow("57600 to the pause family") << "AT+BAUD7" << false << ""
                                               << "pause";
}

void TestForm1::guardedCommandAsks()
{
    QFETCH(QString, typed);
    QFETCH(bool, hex);
    QFETCH(QString, asked);
    QFETCH(QString, family);
    m_form->State().Family = FamilyByKey(family);
    m_form->Text2->SetHexEntry(hex);
    for (const bool write : { false, true }) { // 取消 sends nothing; 写入 sends it
        m_confirm.asked.clear();
        m_warning.shown.clear();
        m_confirm.write = write;
        m_form->Text2->setPlainText(typed);
        m_form->Command5->click();
        QCOMPARE(m_confirm.asked.size(), asked.isEmpty() ? 0 : 1);
        if (!asked.isEmpty())
            QVERIFY2(m_confirm.asked.first().startsWith(asked),
                     qPrintable(m_confirm.asked.first()));
        // Sent, it meets the closed port's warning.
        QCOMPARE(m_warning.shown.size(), asked.isEmpty() || write ? 1 : 0);
    }
}

void TestForm1::ctrlEnterSends_data()
{
    QTest::addColumn<QString>("typed"); // as hex entry
    QTest::addColumn<bool>("keypad");
    QTest::addColumn<QString>("warning"); // how the one box shown begins; it names what is selected
    QTest::newRow("Ctrl+Enter") << "41 54" << false << NoPortYetWarning; // no port
    QTest::newRow("Ctrl+keypad Enter") << "41 54" << true << NoPortYetWarning;
    // Refused before the port is looked at.
    QTest::newRow("a letter") << "41 54\n0G" << false << "警告|第 8 个字符“G”（U+0047）不是";
    QTest::newRow("beyond 16 bits") << "41😀" << false << "警告|第 3 个字符“😀”（U+1F600）不是";
    QTest::newRow("pair split") << "41 5 4" << false << "警告|第 4 个字符“5”没有成对";
}

void TestForm1::ctrlEnterSends()
{
    QFETCH(QString, typed);
    QFETCH(bool, keypad);
    QFETCH(QString, warning);
    m_form->Text2->SetHexEntry(true);
    m_form->Text2->setPlainText(typed);
    QTest::keyClick(m_form->Text2, keypad ? Qt::Key_Enter : Qt::Key_Return,
                    Qt::ControlModifier | (keypad ? Qt::KeypadModifier : Qt::NoModifier));
    QCOMPARE(m_warning.shown.size(), 1);
    QVERIFY2(m_warning.shown[0].startsWith(warning), qPrintable(m_warning.shown[0]));
    QCOMPARE(m_form->Text2->textCursor().selectedText(),
             warning.section(u'“', 1).section(u'”', 0, 0)); // the wrong character
}

void TestForm1::panelMenu_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("mouse");
    QTest::newRow("a label") << "Label6_10" << true;
    QTest::newRow("between the rows") << "" << true;
    QTest::newRow("an option, menu key") << "Option5" << false;
    QTest::newRow("a box, below its own entries") << "Text1_7" << false;
}

void TestForm1::panelMenu()
{
    QFETCH(QString, target);
    QFETCH(bool, mouse);
    QWidget *widget = target.isEmpty() ? m_form.get() : m_form->findChild<QWidget *>(target);
    QVERIFY(widget);
    // Between the third and the fourth row.
    const QPoint at = target.isEmpty()
        ? m_form->Panel().Label6(1)->geometry().bottomLeft() + QPoint(2, 3)
        : QPoint(3, 3);
    QStringList entries;
    QObject reader; // gone with this function, should no menu open
    QTimer::singleShot(0, &reader, [&] {
        QWidget *popup = QApplication::activePopupWidget();
        for (QAction *action : popup ? popup->actions() : QList<QAction *>()) {
            if (!action->isSeparator())
                entries << action->text() + (action->isEnabled() ? "" : " (off)");
        }
        if (popup)
            popup->close();
    });
    QContextMenuEvent event(mouse ? QContextMenuEvent::Mouse : QContextMenuEvent::Keyboard, at,
                            widget->mapToGlobal(at));
    QApplication::sendEvent(widget, &event);
    QCOMPARE(
        entries.mid(entries.size() - 4),
        (QStringList { "保存配置…", "载入配置…", "记住本机地址 (off)", "绑定到记住的地址 (off)" }));
    QCOMPARE(entries.size() > 4, target.startsWith(QLatin1String("Text1")));
    QCOMPARE(m_form->Menu().SaveAction()->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+S")));
    QCOMPARE(m_form->Menu().LoadAction()->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    QVERIFY(m_form->actions().contains(m_form->Menu().LoadAction()));
}

void TestForm1::updateAsksFirst_data()
{
    // Each row named by the answer: a button's caption, or a key.
    QTest::addColumn<bool>("written");
    QTest::newRow("写入") << true;
    QTest::newRow("取消") << false;
    QTest::newRow("Escape") << false;
    QTest::newRow("Enter") << false; // on 取消 by default
}

void TestForm1::updateAsksFirst()
{
    QFETCH(bool, written);
    const QString answer = QString::fromUtf8(QTest::currentDataTag());
    m_form->SetConfirmBox(nullptr); // the real box
    QString asked;
    QTimer poll;
    const QDeadlineTimer deadline(5000);
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box && !deadline.hasExpired())
            return;
        poll.stop();
        if (!box)
            return;
        QStringList buttons;
        for (QAbstractButton *button : box->buttons())
            buttons << button->text();
        QVERIFY(!Qt::mightBeRichText(box->informativeText())); // the list is read as it is
        asked = box->windowTitle() + '|' + buttons.join(',') + '|' + box->defaultButton()->text()
            + '|' + box->informativeText().section('\n', 0, 1);
        if (answer == "Escape" || answer == "Enter")
            QTest::keyClick(box, answer == "Escape" ? Qt::Key_Escape : Qt::Key_Return);
        for (QAbstractButton *button : box->buttons()) {
            if (button->text() == answer)
                button->click();
        }
        if (QApplication::activeModalWidget() == box)
            box->reject(); // never left open
    });
    poll.start(10);
    m_form->Panel().SetText1(0, QStringLiteral("<b>x</b>"));
    m_form->Command2->click(); // a panel never read: returns once the box is answered
    QCOMPARE(asked, QStringLiteral("确认|写入,取消|取消|将写入的设置：\n设备名称：<b>x</b>"));
    QCOMPARE(m_form->State().WorkMode, written ? ModeUpdating : ModeIdle);
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
