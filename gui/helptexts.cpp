/* helptexts.cpp: the thirty context help texts, one per control role, shown in the "Info"
** popup by a right click. Each line of a text is one literal; the run of spaces that ends
** every line but the last is a literal of its own, with the line feed and its length noted.
*/
#include "gui.h"

namespace vr
{

const char InfoEditConnect[] = /* 26 characters */
    " Select a serial COM-PORT.";

const char InfoButtonSend[] = /* 263 characters */
    " All the parameters of the PC-User-Interface are transferred to the sensor or to a selectable "
    "file."
    "                           \n" /* 27 spaces */
    " The target of the parameter transfer is determined by the select button (RAM, EE, FILE)."
    "                           \n" /* 27 spaces */
    " Shortcut Key: F9. ";

const char InfoButtonGet[] = /* 231 characters */
    " Sensor or file parameters are transferred to the PC-User-Interface."
    "                          \n" /* 26 spaces */
    " The source of the parameter transfer is determined by the select button (RAM, EE, FILE)."
    "                          \n" /* 26 spaces */
    " Shortcut Key: F10. ";

const char InfoButtonGo[] = /* 159 characters */
    " Starts data transfer sensor to PC."
    "                         \n" /* 25 spaces */
    " The data are shown in the displays and in the graph."
    "                        \n" /* 24 spaces */
    " Shortcut Key: F11. ";

const char InfoButtonStop[] = /* 84 characters */
    " Stops data transfer from sensor to PC."
    "                        \n" /* 24 spaces */
    " Shortcut Key: F12. ";

const char InfoButtonGetBuff[] = /* 477 characters */
    " When the sensor detects an edge, a search for the minimum NORM value is performed until"
    "                              \n" /* 30 spaces */
    " the end of the DEAD TIME(TRIGGER=CONT) or the ACTIVE TIME(TRIGGER=EXT) and during HOLD."
    "                              \n" /* 30 spaces */
    " This minimum value is stored in a 16-value JUMP BUFFER that can be read out with"
    "                              \n" /* 30 spaces */
    " the GETBUFF button. Based on these VALUES, the optimum THRESHOLD can be set."
    "                              \n" /* 30 spaces */
    " Shortcut Key: F8. ";

const char InfoSelectMEM[] = /* 70 characters */
    " Select the source respectively the target for the parameter transfer.";

const char InfoSwitchPara[] = /* 36 characters */
    " Hide or show additional parameters.";

const char InfoSelectSource[] = /* 46 characters */
    " Select a signal to be displayed in the graph.";

const char InfoEditThreshold[] = /* 308 characters */
    " Input field for the lower threshold."
    "                             \n" /* 29 spaces */
    " The NORM value of the two RAW signals must drop below a"
    "                             \n" /* 29 spaces */
    " certain THRESHOLD during measurement to initiate a counting event."
    "                             \n" /* 29 spaces */
    " The sensor sensitivity increases with a higher TRESHOLD. ";

const char InfoEditHysteresis[] = /* 503 characters */
    " Input field for the desired hysteresis."
    "                               \n" /* 31 spaces */
    " The NORM value of the two RAW signals must drop below a"
    "                               \n" /* 31 spaces */
    " certain THRESHOLD during measurement to initiate a counting event."
    "                               \n" /* 31 spaces */
    " After that, the NORM value must again lie above the value HYSTERESIS"
    "                               \n" /* 31 spaces */
    " to allow renewed edge detection."
    "                               \n" /* 31 spaces */
    " This is a safety feature to suppress multiple counting arround the THRESHOLD.";

const char InfoEditTrigger[] = /* 645 characters */
    " Select the trigger mode for the sensor."
    "                            \n" /* 28 spaces */
    " EXT : An ACTIVE window is set for the sensor by IN0 and IN1."
    "                            \n" /* 28 spaces */
    " The sensor measures during its ACTIVE time and if it detects an edge, an output pulse"
    "                           \n" /* 27 spaces */
    " (length is set by HOLD) is provided after the ACTIVE window is closed. (see manual)"
    "                            \n" /* 28 spaces */
    " EXTSTAT: If an edge was detected during the ACTIVE time, the output pulse is set"
    "                            \n" /* 28 spaces */
    " until the beginning of the next ACTIVE window, but at least the HOLD time."
    "                            \n" /* 28 spaces */
    " CONT: Measurement is performed continuously.";

const char InfoEditPmod[] = /* 457 characters */
    " Select the operating mode of automatic power correction at the transmitter unit."
    "                         \n" /* 25 spaces */
    " STAT: Transmitter power is constantly kept at the POWER value."
    "                         \n" /* 25 spaces */
    " DYN : Transmitter power is dynamically tuned in accordance with the amount of radiation that"
    "                         \n" /* 25 spaces */
    "       is diffusely reflected from the target. Sensor should not exceed the dynamic range."
    "                         \n" /* 25 spaces */
    "       (recommended mode).";

const char InfoEditPower[] = /* 128 characters */
    " Select the intensity of the transmitter LED, if PMOD=FIX."
    "                          \n" /* 26 spaces */
    " 0% = no intensity,  100% = full intensity.";

const char InfoEditHold[] = /* 29 characters */
    " Pulse length of output OUT0.";

const char InfoEditBacklim[] = /* 199 characters */
    " Select an intensity limit."
    "                            \n" /* 28 spaces */
    " If the intensity that arrives at the receiver unit DAT0 falls below this limit,"
    "                            \n" /* 28 spaces */
    " no evaluation will be performed. ";

const char InfoEditRegcnt[] = /* 170 characters */
    "This EDIT-BOX serves for setting after how many main-loop runs a dynamic"
    "                          \n" /* 26 spaces */
    " laser diode correction should be performed, if PMOD=DYN. (see manual) ";

const char InfoEditAverage[] = /* 98 characters */
    " Select the number of scanning values (measurement values) over which the NORM signal is "
    "averaged.";

const char InfoEditOutmode[] = /* 384 characters */
    " Select how to output the output pulse at OUT0."
    "                            \n" /* 28 spaces */
    " DIRECT  : When a counting event occurs, output OUT0 changes from LOW (0V)"
    "                            \n" /* 28 spaces */
    " to HIGH (+24V), until HOLD is over."
    "                            \n" /* 28 spaces */
    " INVERSE : When a counting event occurs, output OUT0 changes from HIGH (+24V)"
    "                            \n" /* 28 spaces */
    " to LOW (0V), until HOLD is over. ";

const char InfoEditDeadTimeMode[] = /* 77 characters */
    " DEAD TIME MODE. Set the sensor dead (blind) for a certain time. (see manual)";

const char InfoEditDeadTime[] = /* 38 characters */
    " Dead time of the sensor. (see manual)";

const char InfoDispDat0[] = /* 50 characters */
    " Displays the RAW value of the the receiver DAT0. ";

const char InfoDispDat1[] = /* 50 characters */
    " Displays the RAW value of the the receiver DAT1. ";

const char InfoDispNORM[] = /* 137 characters */
    " Displays the NORM value calculated from DAT0 and DAT1."
    "                         \n" /* 25 spaces */
    " Formula for calculation: NORM = (DAT0*255)/(DAT0+DAT1) ";

const char InfoDispEDGE[] = /* 147 characters */
    " Display used for adjustment of external sensors to generate an"
    "                         \n" /* 25 spaces */
    " ACTIVE window when TRIGGER=EXT is selected. (see manual) ";

const char InfoDispWIN[] = /* 146 characters */
    " Display used for adjustment of external sensors to generate an"
    "                        \n" /* 24 spaces */
    " ACTIVE window when TRIGGER=EXT is selected. (see manual) ";

const char InfoStatus[] = /* 43 characters */
    " Displays serial interface status messages.";

const char InfoGraph[] = /* 40 characters */
    " Displays a signal selected with SOURCE.";

const char InfoGraphData1[] = /* 496 characters */
    " When the sensor detects an edge, a search for the minimum NORM value is performed until"
    "                           \n" /* 27 spaces */
    " the end of the DEAD TIME(TRIGGER=CONT) or the ACTIVE TIME(TRIGGER=EXT) and during HOLD."
    "                           \n" /* 27 spaces */
    " This minimum value is stored in a 16-value JUMP BUFFER that can be read out with"
    "                           \n" /* 27 spaces */
    " the GETBUFF button. Based on these VALUES, the optimum THRESHOLD can be set."
    "                           \n" /* 27 spaces */
    " The 16-value JUMP BUFFER is shown in this graph. ";

const char InfoGraphData2[] = /* 731 characters */
    " If TRIGGER=ADJ EXT is selected, the sensor records the time from one positiv edge"
    "                           \n" /* 27 spaces */
    " at IN0 to the next positive edge at IN0 and valuates this time to 100%."
    "                           \n" /* 27 spaces */
    " The value of 100 on the x-axis corresponds wiht 100% (time from IN0 to IN0)."
    "                           \n" /* 27 spaces */
    " The red graph visualises the length of the ACTIVE window in percent of the time between IN0 "
    "and IN0."
    "                           \n" /* 27 spaces */
    " The blue graph visualises the appearance of an edge in percent of the time between IN0 and "
    "IN0."
    "                           \n" /* 27 spaces */
    " In practice, the ACTIVE window should be open approx. 60% of IN0 to IN0. The edge should lie "
    "in the"
    "                           \n" /* 27 spaces */
    " middle of the active window (30%).";

} // namespace vr
