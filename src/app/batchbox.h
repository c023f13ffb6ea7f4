// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The batch's window beside the main one: the last module's verdict, big and plain, in
// green or red; what the batch has done; and its one button "下一个", which has the focus,
// so that Space or Enter takes the next module. Escape, "停止" or closing it stops the
// batch. It never blocks the main window.
class BatchBox : public QDialog
{
    Q_OBJECT

public:
    explicit BatchBox(QWidget *parent);

    // `record`: where the lines go; shown below the verdict.
    void Begin(const QString &profile, const QString &record);
    void ShowVerdict(const QString &verdict, bool passed);
    // "下一个编号：8 · 已配置 3 个，通过 2 个"
    void ShowCounts(int next, int done, int passed);
    // A module is under way: what it does; "下一个" waits for its verdict.
    void ShowBusy(const QString &doing);

    // Escape, "停止", closing it, or the window's menu: the batch stops.
    void reject() override;

    QLabel *Verdict() const { return m_verdict; }
    QPushButton *NextButton() const { return m_next; }

signals:
    void nextRequested();
    void stopRequested();


private:
    QLabel *m_files = nullptr;
    QLabel *m_verdict = nullptr;
    QLabel *m_counts = nullptr;
    QPushButton *m_next = nullptr;
    QPushButton *m_stop = nullptr;
};
