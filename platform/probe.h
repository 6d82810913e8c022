/* probe.h: read-back of what the platform shows, for tests and benchmarks only: control
** attributes, menu items and ring items, graph plots and strip chart traces, the widgets
** behind panels and controls. The program's logic never includes it.
*/
#ifndef PROBE_H
#define PROBE_H

#include "platform.h"

class QWidget;

/* Reads an int attribute back (visibility, dimming, position, colours, point size, points
** per screen); -1 for an unknown control or attribute, or one never set. */
int GetCtrlAttribute(int panel, int control, int attribute, int *value);
/* Reads a string attribute back (label text, font name); -1 when unknown. */
int GetCtrlAttributeText(int panel, int control, int attribute, char *text, std::size_t capacity);

/* Reads ATTR_CHECKED or ATTR_DIMMED of a menu item back; -1 when unknown. */
int GetMenuBarAttribute(int panel, int menuItem, int attribute, int *value);

/* Number of items of a ring, and the label and value of item `index`. */
int GetNumListItems(int panel, int control, int *count);
int GetListItem(int panel, int control, int index, char *label, std::size_t capacity, int *value);

/* Graphs: the number of plots; strip charts: the number of traces holding points. */
int GetGraphPlotCount(int panel, int control);
/* The values of plot `index` of a graph (oldest plot first) and its colour; the number of
** values, at most capacity. */
int GetGraphPlotData(int panel, int control, int index, double *values, int capacity, int *color);
/* The points of strip chart trace 1..5 (oldest first) and whether it is shown; the number of
** values, at most capacity. */
int GetStripChartTrace(int panel, int control, int trace, double *values, int capacity,
                       int *visible);

/* The top-level widget of a loaded panel, of the panel shown last (the popups' parent), the
** widget of a control and the label that belongs to it; nullptr when unknown. */
QWidget *PanelWidget(int panel);
QWidget *ShownPanelWidget(void);
QWidget *ControlWidget(int panel, int control);
QWidget *ControlLabel(int panel, int control);
/* The identifier of the control a widget is; 0 for a widget that is no control. */
int ControlIdOf(const QWidget *widget);

#endif
