/* parafile.cpp: parameter files: the 15 packet bytes saved to and loaded from a "*.dat"
** text file the operator picks. A failed save keeps the old file; a failed load changes
** nothing; both are reported, as is a path the program cannot take.
*/
#include "params.h"

#include <cstdio>

namespace vr
{

char file_name[260];

/* Reports a failed transfer: `what`, the file (when there is one) and the platform's reason. */
static void ReportFileError(const char *what, const char *path)
{
    char text[700];
    if (*path)
        std::snprintf(text, sizeof text, " %s \n \n %s \n %s", what, path, GetFileErrorText());
    else
        std::snprintf(text, sizeof text, " %s \n \n %s", what, GetFileErrorText());
    MessagePopup("INFO", text);
}

/* The dialog both transfers open: "init.dat" proposed in the document directory, only
** "*.dat" names. Returns the dialog's result: 1 or 2 with the path in file_name, 0 when the
** operator cancels, negative when the path cannot be taken, which is reported as `what`. */
static int SelectParaFile(const char *what)
{
    const int picked =
        FileSelectPopup(doc_dir, "init.dat", "*.dat", "init", VAL_OK_BUTTON, 0, 1, 1, 1, file_name);
    if (picked < 0) ReportFileError(what, "");
    return picked;
}

void SendParaToFile(void)
{
    if (SelectParaFile("PARAMETER FILE NOT SAVED") <= 0) return;
    // A read-only file is a protected one: it is replaced only when the operator says so, and
    // stays read-only.
    if (GetFileReadOnly(file_name) == 1) {
        char text[400];
        std::snprintf(text, sizeof text,
                      " READ-ONLY PARAMETER FILE \n \n %s \n \n Replace its contents? The file "
                      "stays read-only. ",
                      file_name);
        if (ConfirmPopup("INFO", text) != 1) return;
    }
    GetPanelValues();
    CopyVarsToPP();
    if (ArrayToFile(file_name, pp, VAL_UNSIGNED_CHAR, AnzPara, 1, 0, 0, 0, 4, VAL_ASCII,
                    VAL_TRUNCATE) < 0)
        ReportFileError("PARAMETER FILE NOT SAVED", file_name);
}

void ReadParaFromFile(void)
{
    if (SelectParaFile("PARAMETER FILE NOT LOADED") <= 0) return;
    // All or nothing: a file that fails to read leaves pp, the variables and the panel (and
    // with it the operator's unsent edits) as they were.
    if (FileToArray(file_name, pp, VAL_UNSIGNED_CHAR, AnzPara, 1, 0, 0, VAL_ASCII) < 0) {
        ReportFileError("PARAMETER FILE NOT LOADED", file_name);
        return;
    }
    CopyPPtoVars();
    SetPanelValues();
    InitPanelValues();
}

} // namespace vr
