// The loaded plug-in modules in the user interface: the library tree's
// "_PLUGINS" branch, the pulse editor's modulation-type tree, the report
// dialog's report-type ring and the baseband filter tree. All four fillers
// run once at start-up after the plug-ins are loaded; a module's kind is
// decided by its type text being exactly "modulation", "filter" or "report".
#pragma once

// One library-tree item per module under "_PLUGINS" (value = module number).
void FillPluginTree();
// The built-in modulation types under their groups of TREE_MOD and one
// "_PLUGIN" item per modulation module. Tree item values are numbers, so a
// built-in item carries its type's keyword as its tag and its type code as
// its value; a plug-in item carries the module name as its label and tag
// and the module number as its value.
void FillModulationTypeTree();
// Appends every report module to RING_REPORTTYPE (value = module number + 2).
void FillReportTypeRing();
// One "_PLUGIN" item per filter module in TREE_FILTER (label and tag = the
// module name, value = the module number), when the tree has that branch.
void FillFilterTree();

// Shows module's name, version, author and comment on the Plugin Info page;
// an index outside 0 .. ModuleCount - 1 changes nothing.
void ShowPluginInfo(int module);
