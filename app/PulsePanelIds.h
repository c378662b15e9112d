// Handles of the pulse editor's sub-panels and the ids of their controls that
// code outside the panel builders uses. The builders set them when they
// create the panels; until then a handle is 0 and a control id -1.
#pragma once

extern int P_TIM;
extern int P_JIT;
extern int P_MOD;
extern int P_MISC;
extern int P_MARKER;

extern int P_MOD_TREE_MOD;
extern int P_MOD_TABLE_DATA;
extern int P_MOD_TABLE_CONF;
