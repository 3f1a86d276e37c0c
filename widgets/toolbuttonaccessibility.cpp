#include "toolbuttonaccessibility.h"

#include "keycharacter.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QToolButton>

#include <mutex>

namespace folioset {

namespace {

class ActionToggleAccessible : public QAccessibleWidget
{
public:
    explicit ActionToggleAccessible(QToolButton *button)
        : QAccessibleWidget(button, QAccessible::CheckBox)
    {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && button()->accessibleName().isEmpty())
            return withoutMnemonics(button()->text());
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = button()->isChecked();
        return state;
    }

    QStringList actionNames() const override
    {
        QStringList names;
        if (button()->isEnabled())
            names << toggleAction();
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &action) override
    {
        if (action == toggleAction() && button()->isEnabled()) {
            button()->animateClick();
            return;
        }
        QAccessibleWidget::doAction(action);
    }

private:
    QToolButton *button() const { return static_cast<QToolButton *>(widget()); }
};

QAccessibleInterface *toolButtonAccessibility(const QString &className, QObject *object)
{
    if (className != QLatin1String("QToolButton"))
        return nullptr;
    auto *button = static_cast<QToolButton *>(object);
    const QAction *action = button->defaultAction();
    // Only an action's checkable button; every other keeps Qt's own interface.
    if (!action || !action->isCheckable())
        return nullptr;
    return new ActionToggleAccessible(button);
}

} // namespace

void installToolButtonAccessibility()
{
    static std::once_flag installed;
    std::call_once(installed, [] { QAccessible::installFactory(toolButtonAccessibility); });
}

} // namespace folioset
