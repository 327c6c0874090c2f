#pragma once

#include "common/AppState.h"
#include "common/Clock.h"
#include "common/Dialogs.h"
#include "data/Connection.h"

// What every window works with: the one connection and its recordsets, the
// shared state, the dialogs and the clock.
struct AppContext
{
    AppContext(Dialogs &d, const Clock &c) : dialogs(d), clock(c) {}

    Connection connection;
    AppState state;
    Dialogs &dialogs;
    const Clock &clock;
};
