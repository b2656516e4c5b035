// Version of the Kelvo Vantlex Console build (program files and resources).
#pragma once
#define KELVO_VERSION_BINARY 6, 0, 2006, 1
#define KELVO_VERSION_TEXT "6.0.2006.1"
#define KELVO_PRODUCT_NAME "Kelvo Vantlex Console for NetWare 2006"
#define KELVO_COMPANY_NAME "Kelvo Software"
#define KELVO_COPYRIGHT "Copyright (C) 1998-2006 Kelvo Software"
