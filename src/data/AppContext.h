#pragma once

#include "common/AppState.h"
#include "common/Clock.h"
#include "common/Dialogs.h"
#include "common/Session.h"
#include "data/Connection.h"
#include "data/InstanceLock.h"

// What every window works with: the one connection with the lock of its data
// folder, the shared state, the selection, the dialogs and the clock.
struct AppContext
{
    AppContext(Dialogs &d, const Clock &c) : dialogs(d), clock(c) {}

    Connection connection;
    InstanceLock lock; // held on the connection's data folder
    AppState state;
    Session session;
    Dialogs &dialogs;
    const Clock &clock;
};
