#include "MivoUserData.h"

#include "WeEngine.h"

bool MivoEngineHasShutDown()
{
    return engine.shutDown;
}
