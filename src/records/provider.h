#pragma once
// The database provider: our stand-in for the Jet OLE DB provider, over SQLite.

#include <QString>

namespace tovera {

// The connection string template; "%s" takes the full path of the database file.
inline constexpr const char* kConnectionTemplate =
    "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%s;Persist Security Info=False";

} // namespace tovera
