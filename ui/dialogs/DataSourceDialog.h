// The Data Source Editor dialog DATAEDIT: handle and control ids, written by
// the start-up (handle) and by BuildDataSourceEditorPanel (ids; -1 before).
#pragma once

extern int DATAEDIT;
extern int DATAEDIT_STR_COMMENT;
extern int DATAEDIT_STR_DATA;
extern int DATAEDIT_STR_NAME;
extern int DATAEDIT_CMD_EXIT;
extern int DATAEDIT_TREE_DATA;
extern int DATAEDIT_STR_BITS;
extern int DATAEDIT_CMD_DEL;
extern int DATAEDIT_CMD_ADD;
extern int DATAEDIT_CMD_SENTRY_UP;
extern int DATAEDIT_CMD_SENTRY_DOWN;

// Tag of the tree's one fixed item, the root of the data sources.
inline constexpr const char* kDataSourceRootTag = "_DATA";
// Tree images: the root, a data source, the source being edited.
enum DataSourceTreeImage { DSRC_IMAGE_ROOT = 0, DSRC_IMAGE_SOURCE = 1, DSRC_IMAGE_EDITED = 2 };

// Builds the dialog (hidden); parent 0 makes it a top-level window. The
// handle or the first negative run-time status.
int BuildDataSourceEditorPanel(int parent);
