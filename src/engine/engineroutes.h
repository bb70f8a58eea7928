#pragma once
// The answer routes of the engine alone, without windows: identification (34, which goes on to
// the image read), the image read (32) and the image write (33). The window tool's own table
// lists these too, with the windows that take part.

class Session;

void InstallEngineRoutes(Session& session);
