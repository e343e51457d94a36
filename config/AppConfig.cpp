#include "config/AppConfig.h"

AppConfig& AppConfig::Instance() {
    static AppConfig config;
    return config;
}
