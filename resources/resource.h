// Identifiers of the plug-in's resources and dialog controls, shared by the resource script and
// the code that opens the dialogs.
#pragma once
