#include "components/PageView.h"
