#pragma once
// The window tool on a session: every answer route with the window that owns it, and the windows
// the link's "Work Offline?" answers lead to.

class QString;
class Session;

void InstallWindowTool(Session& session);

// The first window of a run: the start window, or with a recording named on the command line its
// chart (the start window follows when the chart is closed, or at once when the file cannot be
// charted, after the message that says why).
void ShowFirstWindow(Session& session, const QString& recording);
