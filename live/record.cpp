/* record.cpp: recording the live data, one CSV line per good polling cycle written to the disk
** as the cycle ends, and exporting what the panel shows: the history and the jump buffer as
** CSV, the graph on view as PNG. Divisions: recording; exports; menu commands.
** Nothing here touches poll or the port: these run nested inside the polling loop's waits.
*/
#include "live.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace vr
{

/* Program-wide variables of the recording and the exports, documented in live.h. */
int recording;
int recordFile = -1;
long recordLines;
char record_name[260];
char export_name[260];
char szRecordLine[AnzLine];

static const char RecordHeader[] = "time,DAT0,DAT1,NORM,EDGE %,WIN %,edge count,IN0 count,"
                                   "IN1 count,threshold,hysteresis";

/* A file error in a popup: what failed, the file, the reason the file service gave. */
static void ReportFileError(const char *what, const char *path, const char *more)
{
    char text[900];
    std::snprintf(text, sizeof text, " %s \n \n %s \n %s %s", what, path, GetFileErrorText(), more);
    MessagePopup("INFO", text);
}

/* ---- Recording ------------------------------------------------------------------------ */

/* The local time now in ISO 8601 with milliseconds: "2024-05-17T14:03:07.250". */
static void FormatNow(char (&out)[32])
{
    using namespace std::chrono;
    const system_clock::time_point now = system_clock::now();
    const auto whole = floor<seconds>(now);
    const int ms = static_cast<int>(duration_cast<milliseconds>(now - whole).count());
    const std::time_t t = system_clock::to_time_t(whole);
    const std::tm *local = std::localtime(&t);
    const std::size_t n = local ? std::strftime(out, sizeof out, "%Y-%m-%dT%H:%M:%S", local) : 0;
    std::snprintf(out + n, sizeof out - n, ".%03d", ms);
}

void StartRecording(void)
{
    if (recording) return;
    if (FileSelectPopup(doc_dir, "recording.csv", "*.csv", "Start recording", VAL_SAVE_BUTTON, 0, 1,
                        1, 1, record_name) <= 0)
        return;
    OpenRecording();
}

int OpenRecording(void)
{
    if (recording) StopRecording();
    recordFile = OpenLineFile(record_name);
    if (recordFile < 0 || WriteLine(recordFile, RecordHeader) < 0) {
        CloseLineFile(recordFile);
        recordFile = -1;
        ReportFileError("RECORDING NOT STARTED", record_name, "");
        return 0;
    }
    recording = 1;
    recordLines = 0;
    RecordVis();
    return 1;
}

void StopRecording(void)
{
    CloseLineFile(recordFile);
    recordFile = -1;
    recording = 0;
    RecordVis();
}

void RecordData(void)
{
    if (!recording) return;
    const unsigned int adjedge = dataAdjedgeH * 256u + dataAdjedgeL;
    const unsigned int adjin0 = dataAdjin0H * 256u + dataAdjin0L;
    const unsigned int adjin1 = dataAdjin1H * 256u + dataAdjin1L;
    // Without an IN0-to-IN0 time there is no 100 % reference: the percentages stay empty.
    char edge[12] = "", win[12] = "";
    if (adjin0) {
        std::snprintf(edge, sizeof edge, "%u", 100 * adjedge / adjin0);
        std::snprintf(win, sizeof win, "%u", 100 * adjin1 / adjin0);
    }
    // The values of this cycle's sample: a callback nested in the cycle's waits may have
    // changed threshold and hysteresis since the sample was taken.
    const double *sample = alldata + AnzAll - AnzTrace;
    char stamp[32];
    FormatNow(stamp);
    std::snprintf(szRecordLine, sizeof szRecordLine, "%s,%d,%d,%d,%s,%s,%u,%u,%u,%d,%d", stamp,
                  int(sample[0]), int(sample[1]), int(sample[2]), edge, win, adjedge, adjin0,
                  adjin1, int(sample[3]), int(sample[4]));
    if (WriteLine(recordFile, szRecordLine) == 0) {
        recordLines++;
        return;
    }
    // Stopped before the popup: the loop must not write again while the popup waits.
    StopRecording();
    char kept[80];
    std::snprintf(kept, sizeof kept, "\n \n The file keeps the %ld lines recorded before. ",
                  recordLines);
    ReportFileError("RECORDING STOPPED", record_name, kept);
}

void RecordVis(void)
{
    SetCtrlAttribute(panel, PANEL_RECORDING, ATTR_VISIBLE, recording);
    SetMenuBarAttribute(panel, MENU_RECORD_START, ATTR_CHECKED, recording);
    SetMenuBarAttribute(panel, MENU_RECORD_START, ATTR_DIMMED, recording);
    SetMenuBarAttribute(panel, MENU_RECORD_STOP, ATTR_DIMMED, !recording);
}

/* ---- Exports ---------------------------------------------------------------------------- */

/* The dialog of every export, for saving, in the document directory with `name` proposed.
** Returns the dialog's result (1 or 2: a path is in export_name). */
static int SelectExportFile(const char *name, const char *filter, const char *title)
{
    return FileSelectPopup(doc_dir, name, filter, title, VAL_SAVE_BUTTON, 0, 1, 1, 1, export_name);
}

void ExportHistory(void)
{
    // A line holds six numbers; a double in %g takes at most 13 characters.
    char text[64 + AnzHist * 6 * 14];
    if (SelectExportFile("history.csv", "*.csv", "Export history") <= 0) return;
    int n = std::snprintf(text, sizeof text, "sample,DAT0,DAT1,NORM,threshold,hysteresis\n");
    for (int i = 0; i < AnzHist; i++) {
        const double *s = alldata + i * AnzTrace;
        n += std::snprintf(text + n, sizeof text - n, "%d,%g,%g,%g,%g,%g\n", i + 1, s[0], s[1],
                           s[2], s[3], s[4]);
    }
    if (SaveTextFile(export_name, text, n) < 0)
        ReportFileError("HISTORY NOT EXPORTED", export_name, "");
}

void ExportJumpBuf(void)
{
    char text[32 + AnzJump * 16];
    if (SelectExportFile("jumpbuffer.csv", "*.csv", "Export jump buffer") <= 0) return;
    int n = std::snprintf(text, sizeof text, "index,value,threshold\n");
    for (int i = 0; i < AnzJump; i++)
        n += std::snprintf(text + n, sizeof text - n, "%d,%d,%d\n", i + 1, jumpbuf[i],
                           jumpthreshold);
    if (SaveTextFile(export_name, text, n) < 0)
        ReportFileError("JUMP BUFFER NOT EXPORTED", export_name, "");
}

void SaveGraphImage(void)
{
    if (SelectExportFile("graph.png", "*.png", "Save graph image") <= 0) return;
    if (SaveCtrlImage(panel, graphshown, export_name) < 0)
        ReportFileError("GRAPH IMAGE NOT SAVED", export_name, "");
}

/* ---- Menu commands ---------------------------------------------------------------------- */

void CBF_MenuRecord(int, int menuItem)
{
    switch (menuItem) {
    case MENU_RECORD_START: StartRecording(); break;
    case MENU_RECORD_STOP: StopRecording(); break;
    case MENU_EXPORT_HISTORY: ExportHistory(); break;
    case MENU_EXPORT_JUMPBUF: ExportJumpBuf(); break;
    case MENU_SAVE_GRAPH: SaveGraphImage(); break;
    default: break;
    }
}

} // namespace vr
