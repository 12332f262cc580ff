#pragma once

#include "freshprogramstate.h"
#include "platform/testseam.h"

#include <QObject>

#include <memory>

// A suite whose every test starts from a fresh program state.
class FreshStateSuite : public QObject
{
    Q_OBJECT

protected:
    const FreshProgramState &fresh() const { return *m_state; }

private slots:
    void init() { m_state = std::make_unique<FreshProgramState>(); }
    void cleanup() { m_state.reset(); }

private:
    std::unique_ptr<FreshProgramState> m_state;
};
