// Resource ids shared by the settings dialog's code and its resource script.
// Read by the resource compiler as well: plain #defines only.
#pragma once

#define IDD_SORVANE 23000

// One check box per setting. 12006 is not used.
#define IDC_HOLE_LAYER 12000
#define IDC_COLOR 12001
#define IDC_LTYPE 12002
#define IDC_LAYER 12003
#define IDC_DECIMAL_PLACE 12004
#define IDC_TOLERANCE 12005
#define IDC_DIM_SIZE 12007

// Controls that are never addressed, such as headings.
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
