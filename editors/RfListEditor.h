// The RF list editor behind the "RF List" tab page TAB_RFLIST: shows the
// current list (CurrentRfList) in the page's controls and its 10,000-row
// table, takes edits back, and runs the page's buttons (row edits, length,
// fills, import, report, remote file choice, upload, instrument reset).
//
// Every callback acts on the commit event only and, except
// RfListResetInstrumentCb, only while CurrentRfList is a valid index;
// all return 0.
#pragma once

// Shows list index and makes it current; an index outside 0 ..
// RfListCount - 1 does nothing.
void ShowRfList(int index);
// Dims CMD_UPLOAD and CMD_RESET without a remote file name or for the
// instrument types that take no RF list; enables them otherwise.
void DimRfListTransferButtons();

int RfListEditCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int RfListDeleteRowCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int RfListInsertRowCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int RfListMoveUpCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int RfListMoveDownCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int RfListSetLengthCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
// CMD_FILLLIST fills the frequencies, any other control the levels.
int RfListFillCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int RfListImportCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int RfListPrintCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int RfListSelectRemoteFileCb(int panel, int control, int event, void* callbackData, int eventData1,
                             int eventData2);
int RfListUploadCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int RfListResetInstrumentCb(int panel, int control, int event, void* callbackData, int eventData1,
                            int eventData2);
