#include "platform/base/application.h"
#include "shell/application.h"

int main(int argc, char** argv)
{
    kal::Application app(argc, argv);
    return kal::executerProgramme();
}
