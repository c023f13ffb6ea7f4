// SPDX-License-Identifier: GPL-3.0-or-later
#include "batchbox.h"

#include "common/plaintext.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr QRgb PassColour = qRgb(0, 128, 0);
constexpr QRgb FailColour = qRgb(192, 0, 0);

} // namespace

BatchBox::BatchBox(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("BatchBox"));
    setWindowTitle(tr("批量配置"));
    setModal(false);
    auto *layout = new QVBoxLayout(this);
    m_files = new QLabel(this);
    m_files->setWordWrap(true);
    m_files->setTextFormat(Qt::PlainText);
    m_verdict = new QLabel(this);
    m_verdict->setObjectName(QStringLiteral("BatchVerdict"));
    m_verdict->setTextFormat(Qt::PlainText);
    m_verdict->setWordWrap(true);
    m_verdict->setMinimumWidth(420);
    QFont big = m_verdict->font();
    big.setPointSizeF(big.pointSizeF() * 2);
    big.setBold(true);
    m_verdict->setFont(big);
    m_counts = new QLabel(this);
    m_counts->setTextFormat(Qt::PlainText);
    auto *buttons = new QDialogButtonBox(this);
    m_next = buttons->addButton(tr("下一个"), QDialogButtonBox::AcceptRole);
    m_stop = buttons->addButton(tr("停止"), QDialogButtonBox::RejectRole);
    m_next->setDefault(true);
    connect(m_next, &QPushButton::clicked, this, &BatchBox::nextRequested);
    connect(m_stop, &QPushButton::clicked, this, &BatchBox::reject);
    layout->addWidget(m_files);
    layout->addWidget(m_verdict);
    layout->addWidget(m_counts);
    layout->addWidget(buttons);
}

void BatchBox::Begin(const QString &profile, const QString &record)
{
    m_files->setText(tr("配置：%1\n记录：%2")
                         .arg(QFileInfo(profile).fileName(), QDir::toNativeSeparators(record)));
    m_verdict->setPalette(palette());
    m_verdict->setText(tr("等待模块：插上下一个模块，或按“下一个”"));
    m_verdict->setAccessibleName(m_verdict->text());
    show();
    raise();
    activateWindow();
    m_next->setFocus();
}

void BatchBox::ShowVerdict(const QString &verdict, bool passed)
{
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, QColor(passed ? PassColour : FailColour));
    m_verdict->setPalette(colours);
    m_verdict->setText(verdict);
    m_verdict->setAccessibleName(verdict);
    m_next->setFocus();
}

void BatchBox::ShowCounts(int next, int done, int passed)
{
    m_counts->setText(
        tr("下一个编号：%1 · 已配置 %2 个，通过 %3 个")
            .arg(QString::number(next), QString::number(done), QString::number(passed)));
}

void BatchBox::ShowBusy(const QString &doing)
{
    m_verdict->setPalette(palette());
    m_verdict->setText(doing);
    m_verdict->setAccessibleName(doing);
}

void BatchBox::reject()
{
    emit stopRequested();
    QDialog::reject();
}
