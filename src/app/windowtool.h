#pragma once
// The window tool on a session: every answer route with the window that owns it, and the windows
// the link's "Work Offline?" answers lead to.

class Session;

void InstallWindowTool(Session& session);
