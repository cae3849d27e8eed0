#pragma once
// Whether this process runs as the LocalSystem account.

namespace vestrana {

// True when the process token's user is the LocalSystem account (S-1-5-18),
// as with a program a service, a deployment tool or a scheduled task started
// "as SYSTEM". False when it is any other account, and when the token cannot
// be read: a process can always query its own token, so that only happens
// when something is badly wrong, and refusing every user then would help
// nobody.
bool runs_as_local_system();

}  // namespace vestrana
