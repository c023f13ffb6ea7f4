// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

// The port label, which also opens the list of the ports there are: a click, or Space,
// Enter or Down once clicked.
class PortLabel : public QLabel
{
    Q_OBJECT

public:
    explicit PortLabel(QWidget *parent = nullptr);

signals:
    void listRequested();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};
