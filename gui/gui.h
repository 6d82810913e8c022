/* gui.h: panel presentation: the context help texts and the callbacks that show them, the
** basic and extended parameter pages, and the branding header.
*/
#ifndef GUI_H
#define GUI_H

#include "../app/Veltrav20.h"

namespace vr
{

extern unsigned char para; /* page in force: 1 basic, 0 extended; InitVars, CBF_ParaVisible */

extern const char InfoEditConnect[], InfoButtonSend[], InfoButtonGet[], InfoButtonGo[],
    InfoButtonStop[], InfoButtonGetBuff[], InfoSelectMEM[], InfoSwitchPara[], InfoSelectSource[],
    InfoEditThreshold[], InfoEditHysteresis[], InfoEditTrigger[], InfoEditPmod[], InfoEditPower[],
    InfoEditHold[], InfoEditBacklim[], InfoEditRegcnt[], InfoEditAverage[], InfoEditOutmode[],
    InfoEditDeadTimeMode[], InfoEditDeadTime[], InfoDispDat0[], InfoDispDat1[], InfoDispNORM[],
    InfoDispEDGE[], InfoDispWIN[], InfoStatus[], InfoGraph[], InfoGraphData1[], InfoGraphData2[];

/* The help popup: MessagePopup titled "Info" with `text`. */
void ShowHelp(const char *text);

void ParaVis(void);   /* basic page: hide the extended inputs, then show the basic ones */
void ParaInVis(void); /* extended page: the mirror image */

/* Branding header (logo.cpp). */
void ShowLogo(int variant);
void ShowInfoText1(const char *text, int left, int top, int pointSize);
void ShowInfoText2(const char *text, int left, int top, int pointSize);
void ShowInfoText3(const char *text, int left, int top, int pointSize);
void ShowInfoText4(const char *text, int left, int top, int pointSize);

int CBF_ParaVisible(int, int, int, void *, int, int);
int CBF_DECO1(int, int, int, void *, int, int);
int CBF_DECO2(int, int, int, void *, int, int);
int CBF_DECO3(int, int, int, void *, int, int);
int CBF_DECO4(int, int, int, void *, int, int);
int CBF_DECO5(int, int, int, void *, int, int);
int CBF_DECO6(int, int, int, void *, int, int);
int CBF_EditThreshold(int, int, int, void *, int, int);
int CBF_EditHysteresis(int, int, int, void *, int, int);
int CBF_EditPower(int, int, int, void *, int, int);
int CBF_EditHold(int, int, int, void *, int, int);
int CBF_EditBacklim(int, int, int, void *, int, int);
int CBF_EditRegcnt(int, int, int, void *, int, int);
int CBF_EditAverage(int, int, int, void *, int, int);
int CBF_EditOutmode(int, int, int, void *, int, int);
int CBF_EditDeadTime(int, int, int, void *, int, int);
int CBF_DispDat0(int, int, int, void *, int, int);
int CBF_DispDat1(int, int, int, void *, int, int);
int CBF_DispNORM(int, int, int, void *, int, int);
int CBF_DispEdge(int, int, int, void *, int, int);
int CBF_DispWin(int, int, int, void *, int, int);
int CBF_DispStatus(int, int, int, void *, int, int);
int CBF_GraphRaw1(int, int, int, void *, int, int);
int CBF_GraphData1(int, int, int, void *, int, int);
int CBF_GraphData2(int, int, int, void *, int, int);

} // namespace vr

#endif
