// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/notice.h"
#include "engine/seams.h"
#include "engine/updateguard.h"
#include "serial/seriallink.h"

#include <QList>
#include <QMap>
#include <QPair>
#include <QSet>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>

// A port whose far end the test plays: what the engine writes is recorded, and what
// the module "sends" is queued with Deliver().
class FakePort : public SerialLink
{
public:
    void Close() override
    {
        calls << QStringLiteral("Close");
        open = false;
    }
    void ReadPortList() override { calls << QStringLiteral("ReadPortList"); }
    void SetPortNumber(int number) override
    {
        calls << QStringLiteral("SetPortNumber %1").arg(number);
        selected = number;
    }
    int PortNumber() const override { return selected; }
    bool SetLine(const QString &settings) override
    {
        calls << QStringLiteral("SetLine ") + settings;
        baud = settings.section(QLatin1Char(','), 0, 0).toInt();
        return true;
    }
    int BaudRate() const override { return baud; }
    void SetReceiveThreshold(int characters) override
    {
        calls << QStringLiteral("SetReceiveThreshold %1").arg(characters);
    }
    void SetTextMode() override { calls << QStringLiteral("SetTextMode"); }
    void Open() override
    {
        calls << QStringLiteral("Open");
        open = openable.contains(selected);
    }
    bool IsOpen() const override { return open; }
    Refusal LastRefusal() const override { return open ? Refusal::None : refused.value(selected); }
    QString Device() const override
    {
        return devices.value(selected, QStringLiteral("/dev/fake%1").arg(selected));
    }
    PortIdentity Identity() const override
    {
        PortIdentity identity = identities.value(selected);
        identity.path = Device();
        return identity;
    }
    std::optional<PortHolder> Holder() const override { return holders.value(selected); }
    void ClearBuffers() override { calls << QStringLiteral("ClearBuffers"), waiting.clear(); }
    void Write(const QString &text) override { written << text, writtenAt << baud; }
    void WriteBytes(const QByteArray &bytes) override { Write(QString::fromUtf8(bytes)); }
    QString Read() override { return lastRead = waiting.toUtf8(), std::exchange(waiting, {}); }
    QByteArray LastRead() const override { return lastRead; }
    CommEvent LastEvent() const override { return event; }

    void Deliver(const QString &text, CommEvent kind = CommEvent::Receive)
    {
        waiting += text;
        event = kind;
    }

    bool open = true;
    int selected = 0;
    int baud = 38400;
    QSet<int> openable;
    QMap<int, Refusal> refused; // why a port that is not openable refuses
    QMap<int, QString> devices; // else /dev/fakeN
    QMap<int, PortIdentity> identities; // the adapter at each number
    QMap<int, std::optional<PortHolder>> holders; // another program that has it
    QStringList calls;
    QStringList written;
    QList<int> writtenAt; // the rate each was written at
    QString waiting;
    QByteArray lastRead;
    CommEvent event = CommEvent::Receive;
};

class FakeConsole : public ConsoleSink
{
public:
    void AppendToConsole(const QString &text, QColor colour, const QByteArray &line) override
    {
        bytes += line;
        appended << qMakePair(text, colour);
    }
    QString Text() const
    {
        QString all;
        for (const auto &piece : appended)
            all += piece.first;
        return all;
    }
    QList<QPair<QString, QColor>> appended;
    QByteArray bytes; // as they went out and came in
};

class FakeWarning : public WarningBox
{
public:
    void Show(const QString &title, const QString &text, const QString &informative) override
    {
        shown << (title + QLatin1Char('|') + text);
        details << informative;
    }
    QStringList shown;
    QStringList details; // the informative text of each
};

class FakeFields : public SettingsFields
{
public:
    QString Text1(int index) const override { return texts.value(index); }
    void SetText1(int index, const QString &text) override { texts[index] = text; }
    bool Option(int number) const override { return options.value(number); }
    QString Text1Caption(int index) const override
    {
        return QStringLiteral("Text1(%1)").arg(index);
    }
    QString GroupCaption(int number) const override
    {
        return QStringLiteral("group of Option%1").arg(number);
    }
    QString OptionCaption(int number) const override { return "Option" + QString::number(number); }
    void SetOption(int number, bool on) override
    {
        const int first = number <= 3 ? 1 : 4;
        if (on) {
            for (int n = first; n < first + 3; ++n)
                options[n] = false;
        }
        options[number] = on;
    }
    // The selected option of the group holding `first` (1 or 4), 0 for none.
    int Selected(int first) const
    {
        for (int n = first; n < first + 3; ++n) {
            if (options.value(n))
                return n;
        }
        return 0;
    }
    QMap<int, QString> texts;
    QMap<int, bool> options;
};

// Records each notice shown; the test presses its action by calling onAction.
class FakeNotice : public Notice
{
public:
    void Show(const NoticeContent &content) override
    {
        shown << content;
        open = true;
    }
    void Close() override { open = false; }
    bool IsShown() const override { return open; }
    // Each notice as "title|text".
    QStringList Said() const
    {
        QStringList said;
        for (const NoticeContent &content : shown)
            said << content.title + QLatin1Char('|') + content.text;
        return said;
    }
    QList<NoticeContent> shown;
    bool open = false;
};

// The tool's preferences in a new folder: none of the operator's reach a test, nor back.
struct TemporaryPreferences
{
    QTemporaryDir folder;
    TemporaryPreferences()
    {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder.path());
    }
};

// Answers the update's "确认" as `write` says, and records what it was asked.
class FakeConfirm : public ConfirmBox
{
public:
    bool Confirm(const QString &text, const QString &informative) override
    {
        return asked << text, details << informative, write;
    }
    void Refuse(const QString &text, const QString &informative) override
    {
        refused << text, details << informative;
    }
    bool write = true;
    QStringList asked, refused, details;
};

inline const QString PortWarning = QStringLiteral("警告|端口打开错误，请搜索端口后重试！");
// The same before any port was tried.
inline const QString NoPortYetWarning = QStringLiteral("警告|还没有打开端口，请先点击搜索端口。");
