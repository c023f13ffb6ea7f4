// SPDX-License-Identifier: GPL-3.0-or-later
// The window's sequences: the 序列 menu, the keys, and what happens before and after one runs.
#include "form1.h"

#include "commandbox.h"
#include "common/plaintext.h"
#include "confirmbox.h"
#include "engine/families/families.h"
#include "engine/families/familysequence.h"
#include "engine/pairing.h"
#include "engine/panelorigin.h"
#include "engine/sequence.h"
#include "engine/sequencerunner.h"
#include "engine/update.h"
#include "messagebox.h"
#include "noticebox.h"
#include "portlabel.h"
#include "preferences.h"
#include "serial/portsearch.h"
#include "serial/serialport.h"
#include "spoken.h"

#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QSaveFile>

#include <algorithm>

QString Form1::SequenceFolder() const
{
    const Preferences preferences;
    const QString chosen = preferences.value(QStringLiteral("Sequences/folder")).toString();
    return chosen.isEmpty()
        ? QFileInfo(preferences.fileName()).absoluteDir().filePath(QStringLiteral("sequences"))
        : chosen;
}

QStringList Form1::SequenceFiles() const
{
    const QDir folder(SequenceFolder());
    QStringList files;
    for (const QString &name :
         folder.entryList({ QStringLiteral("*.txt") }, QDir::Files, QDir::Name))
        files << folder.filePath(name);
    return files;
}

void Form1::WatchTheSequences(QMenu *menu)
{
    m_sequences = std::make_unique<SequenceRunner>(m_state, *Uart1, *m_engine, *m_notice,
                                                   [this] { return m_clock.elapsed(); });
    m_sequences->SetLineEnding(
        [this] { return MakeCommand(QString(), Text2->Ending(), false).bytes; });
    m_sequences->SetValues(
        [this] { return m_origin->AddressReadHere(); },
        [this] { return WrittenValue(SettingStep(u"BIND"), m_pairing->Kept()); });
    // A command that moves the module's rate moves the port after it, as when typed.
    m_sequences->SetSentHook(
        [this](const QByteArray &bytes) { m_familySequence->SentByHand(bytes); });
    m_sequences->SetProgress([this](const QString &progress) {
        // Where the port's state and a search's probe are told; the port's again at the end.
        if (m_sequences->Running())
            SetPortStatus(progress, progress);
        else if (Uart1->IsOpen())
            SetPortStatus(PortOpenCaption(Uart1->PortNumber(), Uart1->Device()),
                          PortOpenTooltip(*Uart1, Uart1->Holder()));
        m_announcer->Say(progress);
        // After a factory reset the panel holds what the module no longer is.
        if (!m_sequences->Running() && std::exchange(m_readAfterSequence, false)
            && m_sequences->EndedDone())
            QMetaObject::invokeMethod(this, &Form1::Command1_Click, Qt::QueuedConnection);
    });
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { FillSequenceMenu(menu); });
    FillSequenceMenu(menu);
    // The keys work without the menu: each runs the folder's file of its number as it is now.
    for (int number = 1; number <= 9; ++number) {
        auto *key = new QAction(this);
        key->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_0 + number)));
        connect(key, &QAction::triggered, this, [this, number] {
            const QStringList files = SequenceFiles();
            if (number <= files.size())
                RunSequence(files.at(number - 1));
        });
        addAction(key);
    }
}

void Form1::FillSequenceMenu(QMenu *menu)
{
    menu->clear();
    const QStringList files = SequenceFiles();
    for (qsizetype i = 0; i < files.size(); ++i) {
        // The key is the window's own action: shown here, not taken a second time, or
        // neither would answer it.
        QString caption = QFileInfo(files[i]).completeBaseName();
        if (i < 9)
            caption += u'\t'
                + QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + int(i)))
                      .toString(QKeySequence::NativeText);
        QAction *entry = menu->addAction(caption);
        const QString path = files[i];
        connect(entry, &QAction::triggered, this, [this, path] {
            QMetaObject::invokeMethod(
                this, [this, path] { RunSequence(path); }, Qt::QueuedConnection);
        });
    }
    if (files.isEmpty())
        menu->addAction(tr("文件夹中没有序列（*.txt）"))->setEnabled(false);
    menu->addSection(tr("随附的序列"));
    for (const ShippedSequence &shipped : ShippedSequences) {
        connect(menu->addAction(ShippedCaption(shipped)), &QAction::triggered, this,
                [this, &shipped] {
                    QMetaObject::invokeMethod(
                        this, [this, &shipped] { RunShipped(shipped); }, Qt::QueuedConnection);
                });
    }
    menu->addAction(tr("把随附的序列复制到文件夹"), this, &Form1::CopyShippedSequences);
    menu->addSeparator();
    QAction *stop = menu->addAction(tr("停止序列"), this, [this] { m_sequences->Stop(); });
    stop->setEnabled(m_sequences->Running());
    menu->addAction(tr("把命令历史存为序列…"), this, &Form1::SaveHistoryAsSequence);
    menu->addAction(tr("选择序列文件夹…"), this, [this] {
        const QString folder
            = QFileDialog::getExistingDirectory(this, tr("序列文件夹"), SequenceFolder());
        if (!folder.isEmpty())
            Preferences().setValue(QStringLiteral("Sequences/folder"), folder);
    });
}

bool Form1::RunSequence(const QString &path)
{
    const QString file = QDir::toNativeSeparators(path);
    QFile source(path);
    // Not opened unless a plain file of a sequence's size: a named pipe would wait.
    if (!QFileInfo(path).isFile() || QFileInfo(path).size() > 64 * 1024
        || !source.open(QIODevice::ReadOnly)) {
        m_warning->Show(WarningTitle(), tr("无法读取序列文件 %1").arg(file), source.errorString());
        return false;
    }
    const ParsedSequence parsed = ParseSequence(QString::fromUtf8(source.readAll()));
    if (parsed.badLine) {
        m_warning->Show(WarningTitle(), tr("序列文件 %1 没有运行，什么也没有发送").arg(file),
                        tr("第 %1 行：%2").arg(QString::number(parsed.badLine), parsed.reason));
        return false;
    }
    m_readAfterSequence = false;
    return StartSequence(QFileInfo(path).completeBaseName(), parsed.steps);
}

bool Form1::RunShipped(const ShippedSequence &shipped)
{
    if (m_state.Family) {
        m_warning->Show(WarningTitle(), tr("“%1”只用于经典命令集的模块").arg(ShippedName(shipped)),
                        QCoreApplication::translate("Families", m_state.Family->kind));
        return false;
    }
    QFile source(QStringLiteral(":/sequences/") + QLatin1String(shipped.file));
    if (!source.open(QIODevice::ReadOnly))
        return false;
    const ParsedSequence parsed = ParseSequence(QString::fromUtf8(source.readAll()));
    // Set first: a sequence may end as it starts.
    m_readAfterSequence = shipped.readAfter;
    if (StartSequence(ShippedName(shipped), parsed.steps))
        return true;
    m_readAfterSequence = false;
    return false;
}

bool Form1::StartSequence(const QString &name, const QList<SequenceStep> &steps)
{
    if (m_sequences->Running()) {
        m_announcer->Say(tr("序列没有开始：另一个序列正在运行"));
        return false;
    }
    // Commands that lose what the module was go out only when the operator says so, having
    // seen every command the sequence will send.
    const QStringList warnings
        = SequenceWarnings(steps, m_state.Family, [this](int rate) { return AdapterTakes(rate); });
    if (!warnings.isEmpty()) {
        QStringList sent;
        bool known = true;
        for (const SequenceStep &step : steps) {
            QString missing;
            const QString text = m_sequences->Value(step, &missing);
            known = known && missing.isEmpty();
            if (step.kind == SequenceStep::Kind::Send)
                sent << QStringLiteral("%1. %2")
                            .arg(sent.size() + 1)
                            .arg((missing.isEmpty() ? text : step.text).trimmed());
        }
        // With a value not known, the sequence fails before it sends anything: no need to ask.
        if (known
            && !m_confirm->ConfirmSend(tr("序列“%1”将依次发送：\n%2").arg(name, sent.join(u'\n')),
                                       warnings.join(u'\n') + u'\n' + tr("要运行这个序列吗？")))
            return false;
    }
    if (!m_sequences->Start(name, steps)) {
        if (!Uart1->IsOpen())
            m_engine->ShowPortError();
        else
            m_announcer->Say(tr("序列没有开始：模块正在读取或更新，或者另一个序列正在运行"));
        return false;
    }
    return true;
}

void Form1::CopyShippedSequences()
{
    // The operator's copies are theirs: one already there is left as it is.
    const QDir folder(SequenceFolder());
    folder.mkpath(QStringLiteral("."));
    QStringList copied;
    for (const ShippedSequence &shipped : ShippedSequences) {
        const QString target = folder.filePath(ShippedName(shipped) + QStringLiteral(".txt"));
        if (QFileInfo::exists(target))
            continue;
        if (!QFile::copy(QStringLiteral(":/sequences/") + QLatin1String(shipped.file), target)) {
            ShowFileFault(*m_warning, SaveFailedText(), QDir::toNativeSeparators(target),
                          QString());
            return;
        }
        // Copied from inside the program, it would stay read-only.
        QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::WriteOwner);
        copied << QFileInfo(target).fileName();
    }
    m_announcer->Say(
        copied.isEmpty()
            ? tr("随附的序列已经在文件夹 %1 中").arg(QDir::toNativeSeparators(folder.path()))
            : tr("已复制到文件夹 %1：%2")
                  .arg(QDir::toNativeSeparators(folder.path()), copied.join(tr("、"))));
}

void Form1::SaveHistoryAsSequence()
{
    QDir().mkpath(SequenceFolder());
    const QString path = QFileDialog::getSaveFileName(
        this, tr("把命令历史存为序列"), QDir(SequenceFolder()).filePath(tr("命令历史.txt")),
        tr("序列 (*.txt)"));
    if (path.isEmpty())
        return;
    QStringList lines { tr("# 命令历史，最早的在前") };
    QStringList texts = Text2->History().Texts();
    std::reverse(texts.begin(), texts.end());
    for (QString text : std::as_const(texts)) {
        // A line end inside a command is written as its escape, so the file keeps one a line.
        text.replace(QLatin1String("\\"), QLatin1String("\\\\"))
            .replace(QLatin1String("\r"), QLatin1String("\\r"))
            .replace(QLatin1String("\n"), QLatin1String("\\n"));
        lines << QStringLiteral("send ") + text;
    }
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write((lines.join(u'\n') + u'\n').toUtf8()) < 0
        || !out.commit())
        ShowFileFault(*m_warning, SaveFailedText(), QDir::toNativeSeparators(path),
                      out.errorString());
}
