// The whole widget layer in one include: forms, application, and every control.
#pragma once

#include "ui/ComCtrls.h"
#include "ui/Controls.h"
#include "ui/ExtCtrls.h"
#include "ui/Forms.h"
#include "ui/Obrazki.h"
#include "ui/StdCtrls.h"
