/* Added to the linker's own script for the plug-in DLLs. Nothing registers
   DWARF unwind tables in a DLL that has no C runtime start-up, and nothing
   unwinds through a library that throws nothing: the tables that libgcc's
   helpers bring along are dropped rather than mapped into the host. */
SECTIONS
{
  /DISCARD/ : { *(.eh_frame) *(.eh_frame$*) }
}
INSERT BEFORE .eh_frame;
