#include "WeLocalization.h"

void WeLocalization::LoadAll()
{
    languages.Clear();
    languages.PushBack() = WeString();
    current = 0;
}
