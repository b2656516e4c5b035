// Dialog stages, by role: the bases of the engine's forms, the dialog
// manager with the registries of page classes and the per-dialog install
// object, and the placement of dialogs on the screen. The manager receives
// the file passes' notifications with their parameters (cmp_TFileContainer.h).
#pragma once
#include "cmp_TFileContainer.h"
#include "dlgcmp_TBaseDlg_Forms.h"
#include "dlgcmp_TBaseDlg_Manager.h"
#include "dlgcmp_TBaseDlg_Placement.h"
