#pragma once

class TForm1;

// The ways out that do not pass the window's menu or close box, routed to it so that the options are saved as
// on every other way out: the desktop's logout (the settings are saved when the session asks for its data, and
// the window shuts down when the application is told to quit) and SIGTERM, SIGINT and SIGHUP, which run the
// window's shutdown from the message loop. Lasts as long as the window.
void ConnectSessionEnd(TForm1& window);
