// The loaded plug-in modules in the user interface: the library tree's
// "_PLUGINS" branch, the pulse editor's modulation-type tree, the report
// dialog's report-type ring and the baseband filter tree. All four fillers
// run once at start-up after the plug-ins are loaded; a module's kind is
// decided by its type text being exactly "modulation", "filter" or "report".
#pragma once

// One library-tree item per module under "_PLUGINS" (value = module number).
void FillPluginTree();
// The built-in modulation types under their groups of TREE_MOD (value = the
// type's keyword) and one "_PLUGIN" item per modulation module (value = the
// module name).
void FillModulationTypeTree();
// Appends every report module to RING_REPORTTYPE (value = module number + 2).
void FillReportTypeRing();
// One "_PLUGIN" item per filter module in TREE_FILTER, when the tree has that
// branch.
void FillFilterTree();

// Shows module's name, version, author and comment on the Plugin Info page;
// an index outside 0 .. ModuleCount - 1 changes nothing.
void ShowPluginInfo(int module);
