namespace appconfig_placeholder { int unused = 0; }
