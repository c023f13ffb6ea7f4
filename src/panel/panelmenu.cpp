// SPDX-License-Identifier: GPL-3.0-or-later
#include "panelmenu.h"

#include "common/warningbox.h"
#include "engine/pairing.h"
#include "engine/panelorigin.h"
#include "settingsfile.h"
#include "settingspanel.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QStandardPaths>

#include <memory>

namespace {

const QString FileSuffix = QStringLiteral(".ini");

} // namespace

PanelMenu::PanelMenu(QWidget *window,
                     SettingsPanel &panel,
                     PanelOrigin &origin,
                     Pairing &pairing,
                     WarningBox &warning)
    : m_window(window)
    , m_panel(panel)
    , m_origin(origin)
    , m_pairing(pairing)
    , m_warning(&warning)
    , m_menu(new QMenu(window))
{
    m_save = m_menu->addAction(tr("保存配置…"), this, &PanelMenu::AskSave);
    m_save->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    m_load = m_menu->addAction(tr("载入配置…"), this, &PanelMenu::AskLoad);
    m_load->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    for (QAction *file : { m_save, m_load }) {
        file->setShortcutContext(Qt::WindowShortcut);
        window->addAction(file);
    }
    m_menu->addSeparator();
    m_keep = m_menu->addAction(tr("记住本机地址"), this, [this] { m_pairing.Keep(); });
    m_bind = m_menu->addAction(QString(), this, [this] {
        if (const auto refused = m_pairing.Bind())
            m_warning->Show(WarningTitle(), refused->text, refused->details);
    });
    UpdateEntries();

    // The labels, the options and the background pass the menu event on to the window.
    window->installEventFilter(this);
    // A box keeps its own entries (undo, copy, paste …), the panel's below them.
    for (QWidget *field : m_panel.TabOrder()) {
        auto *box = qobject_cast<QLineEdit *>(field);
        if (!box)
            continue;
        box->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(box, &QLineEdit::customContextMenuRequested, this, [this, box](QPoint at) {
            const std::unique_ptr<QMenu> menu(box->createStandardContextMenu());
            menu->addSeparator();
            menu->addActions(Menu()->actions());
            menu->exec(box->mapToGlobal(at));
        });
    }
}

PanelMenu::~PanelMenu() = default;

QMenu *PanelMenu::Menu()
{
    UpdateEntries();
    return m_menu;
}

void PanelMenu::UpdateEntries()
{
    m_keep->setEnabled(m_pairing.CanKeep());
    const QString kept = m_pairing.Kept();
    m_bind->setEnabled(!kept.isEmpty());
    m_bind->setText(kept.isEmpty() ? tr("绑定到记住的地址") : tr("绑定到 %1").arg(kept));
}

bool PanelMenu::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window || event->type() != QEvent::ContextMenu)
        return false;
    const auto *menuEvent = static_cast<QContextMenuEvent *>(event);
    if (!m_panel.Area().contains(menuEvent->pos()))
        return false;
    Menu()->exec(menuEvent->globalPos());
    return true;
}

QString PanelMenu::Folder() const
{
    if (!m_folder.isEmpty())
        return m_folder;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir(documents).exists() ? documents : QDir::homePath();
}

void PanelMenu::AskSave()
{
    // Named after the module, without what a file name cannot hold.
    QString name = m_panel.Text1(0).trimmed();
    static const QString unfit = QStringLiteral("\\/:*?\"<>|\n");
    for (QChar &c : name) {
        if (unfit.contains(c))
            c = QLatin1Char('_');
    }
    if (name.isEmpty())
        name = QStringLiteral("tarvenit");
    // The dialog asks before it replaces a file.
    const QString path = QFileDialog::getSaveFileName(m_window, tr("保存配置"),
                                                      QDir(Folder()).filePath(name + FileSuffix),
                                                      tr("配置文件 (*.ini);;所有文件 (*)"));
    if (!path.isEmpty())
        Save(path);
}

void PanelMenu::AskLoad()
{
    const QString path = QFileDialog::getOpenFileName(m_window, tr("载入配置"), Folder(),
                                                      tr("配置文件 (*.ini);;所有文件 (*)"));
    if (!path.isEmpty())
        Load(path);
}

void PanelMenu::Save(const QString &path)
{
    m_folder = QFileInfo(path).absolutePath();
    // Which module, and when, only while the panel holds what a query read.
    ModuleRecord module;
    if (m_origin.FromCompleteQuery())
        module = { m_origin.AddressRead(), m_origin.VersionRead(), m_origin.ReadAt() };
    if (const auto reason = SaveSettingsFile(path, m_panel, module))
        ShowFileFault(*m_warning, SaveFailedText(), QDir::toNativeSeparators(path), *reason);
}

void PanelMenu::Load(const QString &path)
{
    m_folder = QFileInfo(path).absolutePath();
    const QString file = QDir::toNativeSeparators(path);
    if (const auto fault = LoadSettingsFile(path, m_panel)) {
        m_warning->Show(WarningTitle(), tr("无法载入配置文件 %1").arg(file),
                        fault->line > 0
                            ? tr("第 %1 行：%2").arg(QString::number(fault->line), fault->reason)
                            : fault->reason);
        return;
    }
    m_origin.Loaded(file);
}
