#pragma once

// What the window tests of both editions need: answering alerts as a user would, storing
// settings before a start, and waiting for a run.

#include "app/classicappdelegate.h"
#include "app/foliosetappdelegate.h"
#include "app/shellcontroller.h"
#include "platform/edition.h"
#include "platform/preferences.h"
#include "support/fixtures.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace folioset::testing {

// Answers each alert that blocks the program with the button at `index`, remembering what it
// said, its title, how modal it was and its buttons. With a name, only alerts of that name.
class AlertAnswerer : public QObject
{
public:
    explicit AlertAnswerer(int index = 0, const QString &name = {}) : m_index(index)
    {
        connect(&m_timer, &QTimer::timeout, this, [this, name] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || box->buttons().size() <= m_index ||
                (!name.isEmpty() && box->objectName() != name))
                return;
            m_texts << box->informativeText();
            m_titles << box->text();
            m_modalities << box->windowModality();
            QStringList buttons;
            for (const QAbstractButton *button : box->buttons())
                buttons << button->text();
            m_buttons << buttons;
            box->buttons().at(m_index)->click();
        });
        m_timer.start(10);
    }
    QStringList texts() const { return m_texts; }
    QStringList titles() const { return m_titles; }
    QList<Qt::WindowModality> modalities() const { return m_modalities; }
    QList<QStringList> buttons() const { return m_buttons; }

private:
    QTimer m_timer;
    int m_index;
    QStringList m_texts;
    QStringList m_titles;
    QList<Qt::WindowModality> m_modalities;
    QList<QStringList> m_buttons;
};

// The element of the controller's window (its sheets included) named `name`; the test stops
// when there is none.
template <typename T> T *element(const ShellController &controller, const char *name)
{
    T *found = controller.window()->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no element %s", name);
    return found;
}

// Puts `values` into the stored "SETTINGS" of the running edition, keeping the rest.
inline bool storeSettings(const QVariantMap &values)
{
    QVariantMap stored = Preferences().value(QStringLiteral("SETTINGS")).toMap();
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        stored.insert(it.key(), it.value());
    return Preferences().setValue(QStringLiteral("SETTINGS"), stored);
}

// Makes `edition` the running one, its preferences store included.
inline void useEdition(Edition edition)
{
    setEdition(edition);
    QCoreApplication::setApplicationName(editionName());
}

// The controller of `edition`, started with `stored` put into its "SETTINGS" first, its window
// shown; null when the window did not show.
inline std::unique_ptr<ShellController> startEdition(Edition edition, Workspace &workspace,
                                                     const QVariantMap &stored = {})
{
    useEdition(edition);
    if (!stored.isEmpty() && !storeSettings(stored))
        return nullptr;
    std::unique_ptr<ShellController> controller;
    if (edition == Edition::Folioset1)
        controller = std::make_unique<ClassicAppDelegate>(workspace);
    else
        controller = std::make_unique<FoliosetAppDelegate>(workspace);
    controller->awakeFromNib();
    if (!QTest::qWaitForWindowExposed(controller->window()))
        return nullptr;
    return controller;
}

// Puts `count` small JPEGs made in `folder` ("a0.jpg", ...) into the controller's list.
inline bool addJpegs(ShellController &controller, const QTemporaryDir &folder, int count)
{
    QList<FileItemPtr> items;
    for (int i = 0; i < count; ++i) {
        const QString path = folder.filePath(QStringLiteral("a%1.jpg").arg(i));
        if (!QFileInfo::exists(path) && !fixtures::writeJpeg(path, QSize(64, 48), i + 1))
            return false;
        items << FileItem::initWithURL(QUrl::fromLocalFile(path));
    }
    controller.files().append(items);
    controller.resetView(true);
    return true;
}

// Whether the controller's run has ended within `milliseconds`.
inline bool waitForRunToEnd(ShellController &controller, int milliseconds = 60000)
{
    if (controller.process() && controller.process()->isCompleted())
        return true;
    QSignalSpy completed(&controller, &ShellController::processCompleted);
    return completed.wait(milliseconds);
}

} // namespace folioset::testing
