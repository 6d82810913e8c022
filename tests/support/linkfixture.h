/* linkfixture.h: what the link and parameter tests share: the parameter set as seen on the
** panel, in the variables and in pp; the Send and Get buttons and the COM port input driven
** as the operator drives them; the status line; the TIMEOUT popup's title and text.
*/
#ifndef LINKFIXTURE_H
#define LINKFIXTURE_H

#include "platform/probe.h"

#include <QByteArray>
#include <QList>
#include <QString>

class SensorSim;

namespace linkfixture
{

/* Identifiers of the Send and Get buttons in the panel file. */
enum { ButtonSend = 3, ButtonGet = 4 };

/* The TIMEOUT report's popup, as the operator reads it. */
extern const char TimeoutTitle[];
extern const char TimeoutText[];
/* The status line after a passed line check: "LINE OK", 30 spaces, "V2.0". */
QString LineOkText();

/* The twelve parameter controls in packet order (power in percent). */
QList<int> PanelParams();
/* Writes the twelve parameter controls in packet order (power in percent). */
void SetPanelParams(const QList<int> &values);
QByteArray Packet(); /* vr::pp */
/* pp and the fifteen parameter variables back to zero, as a fresh program starts. */
void ZeroParameterSet();
QByteArray Vars(); /* the fifteen parameter variables in packet order */
QString Status();  /* the status line */

/* A left click on a control of the main panel, as the operator makes it. */
void Click(int control);
/* Commits `port` in the COM port input by typing it and pressing Enter. */
void CommitPort(int port);

/* Starts `sim` (replies at once unless paced) with `ram` as its RAM set when given, points
** COM `port` at it and commits the port through the panel, so the program opens it, checks
** the line and reads the RAM set. True when the status line then shows the "LINE OK" text
** and no popup came. */
bool ConnectTo(SensorSim &sim, int port, const QList<int> &ram = {}, bool pace = false);
/* The simulator command that sets its RAM ("ram") or EEPROM ("eeprom") set. */
QString SetCommand(const char *memory, const QList<int> &values);

/* Writes a frame of command 0, which the sensor ignores, and waits until the simulator has
** logged it: the log then holds every frame written before. Returns the command codes of
** the frames logged from index `from` on, without that frame. */
QList<int> CommandsSent(const SensorSim &sim, int from);

/* Bytes as a list of ints, for readable comparisons. */
QList<int> Ints(const QByteArray &bytes);

} // namespace linkfixture

#endif
