/* parafile.cpp: parameter files: the 15 packet bytes saved to and loaded from a "*.dat"
** text file the operator picks. A failed save keeps the old file; a failed load changes
** nothing; both are reported.
*/
#include "params.h"

#include <cstdio>

namespace vr
{

char file_name[260];

/* The dialog both transfers open: "init.dat" proposed in the document directory, only
** "*.dat" names. Returns the dialog's result (1 or 2: a path is in file_name). */
static int SelectParaFile(void)
{
    return FileSelectPopup(doc_dir, "init.dat", "*.dat", "init", VAL_OK_BUTTON, 0, 1, 1, 1,
                           file_name);
}

static void ReportFileError(const char *what)
{
    char text[700];
    std::snprintf(text, sizeof text, " %s \n \n %s \n %s", what, file_name, GetFileErrorText());
    MessagePopup("INFO", text);
}

void SendParaToFile(void)
{
    if (SelectParaFile() <= 0) return;
    GetPanelValues();
    CopyVarsToPP();
    if (ArrayToFile(file_name, pp, VAL_UNSIGNED_CHAR, AnzPara, 1, 0, 0, 0, 4, VAL_ASCII,
                    VAL_TRUNCATE) < 0)
        ReportFileError("PARAMETER FILE NOT SAVED");
}

void ReadParaFromFile(void)
{
    if (SelectParaFile() <= 0) return;
    // All or nothing: a file that fails to read leaves pp, the variables and the panel (and
    // with it the operator's unsent edits) as they were.
    if (FileToArray(file_name, pp, VAL_UNSIGNED_CHAR, AnzPara, 1, 0, 0, VAL_ASCII) < 0) {
        ReportFileError("PARAMETER FILE NOT LOADED");
        return;
    }
    CopyPPtoVars();
    SetPanelValues();
    InitPanelValues();
}

} // namespace vr
