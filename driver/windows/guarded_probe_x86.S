# MmProbeAndLockPages under an exception handler, for the x86 build (g++ has no __try). x86 handlers
# are registered at run time in a chain headed at fs:[0]: this one is linked around the call. On an
# exception it has RtlUnwind run (and unlink) every handler registered above it, as __except does,
# then resumes in the guarded function's frame with the exception code, which it returns.
#   NTSTATUS __stdcall kvusb_guarded_probe_and_lock(PMDL Mdl, KPROCESSOR_MODE AccessMode,
#                                                   LOCK_OPERATION Operation)

        .text
        .p2align 4
        .globl  _kvusb_guarded_probe_and_lock@12
        .def    _kvusb_guarded_probe_and_lock@12; .scl 2; .type 32; .endef
_kvusb_guarded_probe_and_lock@12:
        pushl   %ebp
        movl    %esp, %ebp
        pushl   %ebx                            # nonvolatile registers, restored on both ways out
        pushl   %esi
        pushl   %edi
        pushl   %ebp                            # record + 8: this frame, for the resume
        pushl   $_kvusb_guard_handler           # record + 4: the handler
        pushl   %fs:0                           # record + 0: the next record of the chain
        movl    %esp, %fs:0
        pushl   16(%ebp)                        # Operation
        pushl   12(%ebp)                        # AccessMode
        pushl   8(%ebp)                         # Mdl
        call    *__imp__MmProbeAndLockPages@12  # stdcall: esp is the record again afterwards
        xorl    %eax, %eax
.Lunlink:                                       # esp = the record, eax = the status
        popl    %ecx
        movl    %ecx, %fs:0
        addl    $8, %esp
        popl    %edi
        popl    %esi
        popl    %ebx
        popl    %ebp
        ret     $12

# EXCEPTION_DISPOSITION __cdecl handler(EXCEPTION_RECORD* Record, void* EstablisherFrame,
#                                       CONTEXT* Context, void* DispatcherContext)
        .p2align 4
        .def    _kvusb_guard_handler; .scl 3; .type 32; .endef
_kvusb_guard_handler:
        movl    4(%esp), %eax                   # the exception record
        testl   $6, 4(%eax)                     # ExceptionFlags: unwinding or exit unwind
        jnz     .Lcontinue_search
        movl    8(%esp), %ecx                   # our registration record
        pushl   (%eax)                          # the exception code and the record, kept on the stack:
        pushl   %ecx                            # RtlUnwind does not keep registers
        pushl   $0                              # ReturnValue
        pushl   $0                              # ExceptionRecord: RtlUnwind makes its own
        pushl   $.Lunwound                      # TargetIp
        pushl   %ecx                            # TargetFrame: unwind every handler above ours
        call    *__imp__RtlUnwind@16
.Lunwound:
        popl    %ecx
        popl    %eax
        movl    %ecx, %esp                      # back in the guarded function's frame
        movl    8(%ecx), %ebp
        testl   %eax, %eax                      # an exception code is a failure status; make sure
        js      .Lunlink                        # nothing resuming here can look like success
        movl    $0xC0000005, %eax
        jmp     .Lunlink
.Lcontinue_search:
        movl    $1, %eax                        # ExceptionContinueSearch
        ret
