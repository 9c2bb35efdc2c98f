// gtk_session.hpp - whether this process can show GTK windows, initialising GTK once when it can.
#pragma once

namespace api32::desktop {

/// True when GTK is initialised with a display: the host's own gtk_init counts, otherwise gtk_init_check is
/// tried once (never gtk_init, which ends the process without a display). Call on the GTK thread.
bool gtk_ready();

}  // namespace api32::desktop
