#pragma once

#include "document/frmnotepad.h"
#include "document/menuedit.h"
#include "shell/frmmainnote.h"
#include "shell/quillo.h"
#include "freshprogramstate.h"
#include "platform/testseam.h"

#include <QObject>
#include <QTest>

#include <memory>

// A suite whose every test starts from a fresh program: fresh folders and
// seams, every module's variables as at start-up, and no frame until the
// test asks for one.
class ProgramSuite : public QObject
{
    Q_OBJECT

protected:
    const FreshProgramState &fresh() const { return *m_state; }

    // A frame that has loaded and is shown, as after the splash.
    frmMainNote &loadedFrame(QSize size = QSize(900, 600))
    {
        // The flags as the start procedure leaves them.
        MenuEdit::CutAllowed = true;
        MenuEdit::PasteAllowed = true;
        MenuEdit::FindDirection = 1;
        m_frame.reset(new frmMainNote);
        m_frame->resize(size);
        m_frame->Show();
        return *m_frame;
    }

    // A loaded frame that is the active window, so that its menu shortcuts
    // work and the keyboard focus is in its active document.
    frmMainNote &activeFrame(QSize size = QSize(900, 600))
    {
        frmMainNote &frame = loadedFrame(size);
        frame.activateWindow();
        if (!QTest::qWaitForWindowActive(&frame))
            qWarning("the frame did not become the active window");
        return frame;
    }

    frmNotePad *document(int slot) const { return Quillo::Documents.value(slot); }

private slots:
    void init()
    {
        m_state = std::make_unique<FreshProgramState>();
        Quillo::resetModules();
    }

    void cleanup()
    {
        m_frame.reset();
        delete Quillo::MainForm;
        Quillo::resetModules();
        m_state.reset();
    }

private:
    std::unique_ptr<FreshProgramState> m_state;
    std::unique_ptr<frmMainNote> m_frame;
};
