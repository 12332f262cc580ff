#include "platform/modal.h"

#include "platform/testseam.h"

#include <QDialog>
#include <QPointer>
#include <QTimer>

int ShowModal(QDialog &dialog)
{
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
