// The Report Generation dialog DATALOG: format ring, report file and the
// eighteen report-value check boxes in three groups, Accept and Cancel.
// The control ids are declared in editors/ReportDialog.h.
#pragma once

// Creates DATALOG (title "Report Generation"), hidden, with the format ring
// holding "OFF" (0) and "Text" (1); the report plug-ins are appended at
// start-up (FillReportTypeRing). Returns the panel handle or the first
// negative status.
int BuildReportGenerationPanel(int parent);
