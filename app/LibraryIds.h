// Control ids of the main window's library tree and its buttons, set by the
// main window's builder when it creates them (-1 until then, so the library
// functions act on no control before the window exists).
#pragma once

inline int PANEL_MAIN_TREE_PULSES = -1;
inline int PANEL_MAIN_CMD_COPY = -1;
inline int PANEL_MAIN_CMD_DEL = -1;
inline int PANEL_MAIN_CMD_SENTRY_UP = -1;
inline int PANEL_MAIN_CMD_SENTRY_DOWN = -1;
inline int PANEL_MAIN_CMD_ADD = -1;
inline int PANEL_MAIN_CMD_ADD_P = -1;
