// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

class Pairing;
class PanelOrigin;
class QAction;
class QMenu;
class QWidget;
class SettingsPanel;
class WarningBox;

// The settings panel's context menu: on its labels, its options and the window's
// background between its rows (right button, menu key), and below the edit entries of
// each box. It keeps the panel in a file ("保存配置…", "载入配置…", also Ctrl+Shift+S and
// Ctrl+O from anywhere in the window) and pairs modules ("记住本机地址",
// "绑定到 <address>"). A file that cannot be written or read, or a bind refused, is said
// in the warning box, and the panel stays as it was.
class PanelMenu : public QObject
{
    Q_OBJECT

public:
    PanelMenu(QWidget *window,
              SettingsPanel &panel,
              PanelOrigin &origin,
              Pairing &pairing,
              WarningBox &warning);
    ~PanelMenu() override;

    void SetWarningBox(WarningBox &warning) { m_warning = &warning; }

    // What the entries do once the operator has chosen a file.
    void Save(const QString &path);
    void Load(const QString &path);

    // The menu as it is shown now, its entries enabled as they apply.
    QMenu *Menu();
    QAction *SaveAction() const { return m_save; }
    QAction *LoadAction() const { return m_load; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void AskSave();
    void AskLoad();
    void UpdateEntries();
    QString Folder() const;

    QWidget *m_window;
    SettingsPanel &m_panel;
    PanelOrigin &m_origin;
    Pairing &m_pairing;
    WarningBox *m_warning;
    QMenu *m_menu;
    QAction *m_save;
    QAction *m_load;
    QAction *m_keep;
    QAction *m_bind;
    QString m_folder; // where the last file was, for the next dialog
};
