#include "platform/modal.h"

#include "platform/testseam.h"

#include <QDialog>
#include <QLayout>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

void setDialogTitleButtons(QDialog &dialog)
{
    const QLayout *layout = dialog.layout();
    const bool fixedSize = qobject_cast<QMessageBox *>(&dialog)
                           || (layout && layout->sizeConstraint() == QLayout::SetFixedSize)
                           || dialog.minimumSize() == dialog.maximumSize();
    Qt::WindowFlags flags = (dialog.windowFlags() & ~Qt::WindowMinMaxButtonsHint) | Qt::CustomizeWindowHint
                            | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (!fixedSize)
        flags |= Qt::WindowMaximizeButtonHint;
    if (flags != dialog.windowFlags())
        dialog.setWindowFlags(flags);
}

int ShowModal(QDialog &dialog)
{
    setDialogTitleButtons(dialog);
    if (TestSeam::enabled()) {
        TestSeam::ModalAction action;
        if (!TestSeam::takeModalAction(action)) {
            TestSeam::recordUnhandledModalWindow();
            return QDialog::Rejected;
        }
        QPointer<QDialog> shown(&dialog);
        QTimer::singleShot(0, &dialog, [shown, action] {
            action(*shown);
            if (shown && shown->isVisible()) {
                TestSeam::recordModalWindowLeftOpen();
                shown->reject();
            }
        });
    }
    return dialog.exec();
}
