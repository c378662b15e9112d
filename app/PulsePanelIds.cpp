#include "app/PulsePanelIds.h"

int P_TIM = 0;
int P_JIT = 0;
int P_MOD = 0;
int P_MISC = 0;
int P_MARKER = 0;

int P_MOD_TREE_MOD = -1;
int P_MOD_TABLE_DATA = -1;
int P_MOD_TABLE_CONF = -1;
