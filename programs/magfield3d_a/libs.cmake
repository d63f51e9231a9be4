# Drawn with OpenGL 1.1 and GLU.
find_package(OpenGL REQUIRED COMPONENTS OpenGL)
set(PROGRAM_LIBS OpenGL::GL OpenGL::GLU)
