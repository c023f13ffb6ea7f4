// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

// tarvenit-module-sim on a new pseudo-terminal, with its log in a temporary folder.
class Simulator
{
public:
    explicit Simulator(const QStringList &options = {})
    {
        m_process.setProgram(QStringLiteral(SIMULATOR_PATH));
        m_process.setArguments(QStringList { "--log", LogPath(), "--exit-after", "300" } + options);
        m_process.start();
        QByteArray first;
        while (!first.contains('\n') && m_process.waitForReadyRead(10000))
            first += m_process.readAllStandardOutput();
        m_device = QString::fromLocal8Bit(first).trimmed();
    }
    ~Simulator()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
    }

    QString Device() const { return m_device; }
    QString LogPath() const { return m_dir.filePath(QStringLiteral("sim.log")); }

    // The log's records of one direction ('<' received, '>' sent), times left out.
    QStringList Records(char mark) const
    {
        QFile file(LogPath());
        QStringList records;
        if (!file.open(QIODevice::ReadOnly))
            return records;
        const QByteArray prefix = QByteArray(1, mark) + ' ';
        for (const QByteArray &line : file.readAll().split('\n')) {
            const qsizetype space = line.indexOf(' ');
            if (space > 0 && line.mid(space + 1).startsWith(prefix))
                records << QString::fromUtf8(line.mid(space + 3));
        }
        return records;
    }
    QStringList Received() const { return Records('<'); }

    // Milliseconds from the last line of each reply to the command that follows it.
    QList<int> ReplyToCommand() const
    {
        QFile file(LogPath());
        QList<int> gaps;
        if (!file.open(QIODevice::ReadOnly))
            return gaps;
        int replied = -1;
        for (const QByteArray &line : file.readAll().split('\n')) {
            const QList<QByteArray> fields = line.split(' ');
            if (fields.size() < 2)
                continue;
            if (fields[1] == ">")
                replied = fields[0].toInt();
            else if (fields[1] == "<" && replied >= 0)
                gaps << fields[0].toInt() - std::exchange(replied, -1);
        }
        return gaps;
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_device;
};
