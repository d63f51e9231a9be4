set(PROGRAM_LIBS camera3d)
