// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch.h"

#include "pairing.h"

#include <QRegularExpression>
#include <QTextStream>

namespace {

// The record's column of the address, in its header order.
constexpr int AddressColumn = 5;
constexpr int ResultColumn = AddressColumn + 1 + 2 * UpdateSteps;

// The records of a CSV text, each its fields; a quoted field may hold commas, quotes and
// line ends.
QList<QStringList> CsvRecords(QStringView text)
{
    QList<QStringList> records;
    QStringList fields { QString() };
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted && c == u'"' && i + 1 < text.size() && text.at(i + 1) == u'"') {
            fields.last() += c, ++i;
        } else if (c == u'"') {
            quoted = !quoted;
        } else if (c == u',' && !quoted) {
            fields << QString();
        } else if (c == u'\n' && !quoted) {
            if (fields.last().endsWith(u'\r'))
                fields.last().chop(1);
            records << std::exchange(fields, { QString() });
        } else {
            fields.last() += c;
        }
    }
    return records;
}

} // namespace

ExpandedValue ExpandTemplate(const QString &pattern, int counter, const QString &address)
{
    static const QRegularExpression placeholder(QStringLiteral("\\{([^{}]*)\\}"));
    static const QRegularExpression counterForm(QStringLiteral("^n(?::0([1-9]))?$"));
    ExpandedValue expanded;
    qsizetype copied = 0;
    for (auto match = placeholder.globalMatch(pattern); match.hasNext();) {
        const QRegularExpressionMatch found = match.next();
        const QString between = pattern.sliced(copied, found.capturedStart() - copied);
        if (between.contains(u'{') || between.contains(u'}'))
            return { QString(),
                     QCoreApplication::translate("Batch", "“%1”中有不成对的括号").arg(pattern) };
        expanded.value += between;
        copied = found.capturedEnd();
        const QString name = found.captured(1);
        if (name == u"addr") {
            expanded.value += ComparableAddress(address).right(6);
            continue;
        }
        const QRegularExpressionMatch number = counterForm.match(name);
        if (!number.hasMatch())
            return { QString(),
                     QCoreApplication::translate("Batch",
                                                 "不认识“{%1}”：可以用 {n}、{n:03} 和 {addr}")
                         .arg(name) };
        const int width = number.captured(1).isEmpty() ? 0 : number.captured(1).toInt();
        expanded.value += QStringLiteral("%1").arg(counter, width, 10, QLatin1Char('0'));
    }
    const QString rest = pattern.sliced(copied);
    if (rest.contains(u'{') || rest.contains(u'}'))
        return { QString(),
                 QCoreApplication::translate("Batch", "“%1”中有不成对的括号").arg(pattern) };
    expanded.value += rest;
    return expanded;
}

bool UsesAddress(const QString &pattern)
{
    return pattern.contains(QLatin1String("{addr}"));
}

QString CsvField(const QString &field)
{
    if (!field.contains(u',') && !field.contains(u'"') && !field.contains(u'\r')
        && !field.contains(u'\n'))
        return field;
    QString quoted = field;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return u'"' + quoted + u'"';
}

QString CsvLine(const QStringList &fields)
{
    QStringList line;
    for (const QString &field : fields)
        line << CsvField(field);
    return line.join(u',') + QLatin1String("\r\n");
}

QString ResultWord(BatchEntry::Result result)
{
    switch (result) {
    case BatchEntry::Result::Passed:
        return QCoreApplication::translate("Batch", "通过");
    case BatchEntry::Result::Failed:
        return QCoreApplication::translate("Batch", "未通过");
    case BatchEntry::Result::HalfWritten:
        return QCoreApplication::translate("Batch", "未完成");
    case BatchEntry::Result::Repeated:
        return QCoreApplication::translate("Batch", "未写入");
    }
    return QString();
}

QString BatchVerdict(const BatchEntry &entry, const QString &name)
{
    QStringList parts { ResultWord(entry.result) };
    if (entry.result == BatchEntry::Result::Passed)
        parts << name << entry.address;
    else
        parts << entry.differences;
    parts.removeAll(QString());
    return parts.join(QStringLiteral(" · "));
}

QString BatchRecord::DefaultName(const QDateTime &when)
{
    return when.toString(QStringLiteral("'tarvenit-batch-'yyyyMMdd-HHmmss'.csv'"));
}

BatchRecord::BatchRecord(const QStringList &settings)
    : m_settings(settings)
{ }

QStringList BatchRecord::Header() const
{
    QStringList header { tr("时间"), tr("端口"), tr("设备"), tr("命令族"), tr("固件"), tr("地址") };
    for (const QString &setting : m_settings)
        header << tr("%1（之前）").arg(setting) << tr("%1（之后）").arg(setting);
    header << tr("结果") << tr("不同之处");
    return header;
}

bool BatchRecord::Open(const QString &path, QString *error)
{
    m_seen.clear();
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly)) {
        // The modules an earlier run of this record passed count as done.
        for (const QStringList &fields : CsvRecords(QString::fromUtf8(existing.readAll()))) {
            if (fields.value(ResultColumn) == ResultWord(BatchEntry::Result::Passed))
                m_seen.insert(ComparableAddress(fields.value(AddressColumn)));
        }
    }
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        *error = m_file.errorString();
        return false;
    }
    if (m_file.size() == 0) {
        // The mark tells a spreadsheet that the file is UTF-8.
        const QByteArray head = "\xEF\xBB\xBF" + CsvLine(Header()).toUtf8();
        if (m_file.write(head) != head.size() || !m_file.flush()) {
            *error = m_file.errorString();
            m_file.close();
            return false;
        }
    }
    return true;
}

bool BatchRecord::Write(const BatchEntry &entry, QString *error)
{
    QStringList fields { entry.time.toString(Qt::ISODate),
                         entry.port,
                         entry.device,
                         entry.family,
                         entry.firmware,
                         entry.address };
    for (int step = 0; step < UpdateSteps; ++step)
        fields << entry.before[std::size_t(step)] << entry.after[std::size_t(step)];
    fields << ResultWord(entry.result) << entry.differences.join(QStringLiteral("；"));
    const QByteArray line = CsvLine(fields).toUtf8();
    if (!m_file.isOpen() || m_file.write(line) != line.size() || !m_file.flush()) {
        *error = m_file.isOpen() ? m_file.errorString() : tr("记录文件没有打开");
        return false;
    }
    if (entry.result == BatchEntry::Result::Passed)
        m_seen.insert(ComparableAddress(entry.address));
    return true;
}

bool BatchRecord::Seen(const QString &address) const
{
    return m_seen.contains(ComparableAddress(address));
}
